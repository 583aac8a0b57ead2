// Documents larger than 32767 pixels a side, through a host that offers
// 32-bit coordinates: the plug-in takes them up, asks for rows, masks and
// previews in them, and paints what the engine's host-free painter paints.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "cli/HostImage.h"
#include "host/Preview.h"
#include "host/TestHost.h"
#include "render/CloudPainter.h"
#include "render/Compose8.h"
#include "render/Lattice.h"

using testhost::RenderThreads;
using testhost::TestHost;

namespace {

// `source` with the clouds of `settings` painted by the host-free painter
// over `rect`, then laid into the image through the selection `mask` (empty
// for none) as the test host lays the plug-in's output.
std::vector<uint8> paintedByPainter(const CloudSettings& settings, const TestHost& host, const VRect& rect)
{
    auto tables = std::make_unique<CloudTables>();
    BuildOverRatioTable(tables.get());
    PrepareCloudTables(tables.get(), settings.seed);
    CloudPainter painter;
    const int32 width = rect.right - rect.left, height = rect.bottom - rect.top;
    prepareCloudPainter(&painter, &settings, tables.get(), width, height);

    const int planes = host.planes;
    const size_t rowBytes = size_t(width) * planes;
    std::vector<uint8> clouds(rowBytes * size_t(height));
    for (int32 y = 0; y < height; ++y) {
        const uint8* in = &host.source[(size_t(rect.top + y) * host.width + rect.left) * planes];
        paintSpan8(&painter, PixelLayout{3, false}, 0, y, 1, width, in, &clouds[rowBytes * y]);
    }
    std::vector<uint8> expected = host.source;
    HostImage image{host.width, host.height, planes, expected.data()};
    HostImage selection{host.width, host.height, 1, const_cast<uint8*>(host.mask.data())};
    writeBackRequest(image, rect, 0, planes - 1, clouds.data(), int32(rowBytes),
                     host.mask.empty() ? nullptr : &selection);
    return expected;
}

// A selection with every value from 0 to 255 along the columns.
std::vector<uint8> rampMask(int width, int height)
{
    std::vector<uint8> mask(size_t(width) * height);
    for (size_t k = 0; k < mask.size(); ++k) mask[k] = uint8((k % size_t(width)) * 7 % 256);
    return mask;
}

}  // namespace

TEST(BigDocument, FinalApplyPaintsWhatThePainterPaints)
{
    const struct {
        int width, height;
        VRect rect;  // empty: the whole image
        bool masked;
        const char* threads;  // null: as many as the machine has
    } cases[] = {
        {40000, 64, {}, false, nullptr}, {64, 40000, {}, false, nullptr},
        {40000, 64, {}, true, nullptr},  {70000, 3, {1, 33000, 3, 70000}, true, "3"},  // columns past 32767 and 65535
        {140000, 2, {}, false, "7"},  // rows too wide for the helpers' usual ring
    };
    for (const auto& c : cases) {
        RenderThreads threads(c.threads);
        TestHost host(c.width, c.height, 3);
        host.useBigDocument();
        VRect rect = c.rect;
        if (rect.right == 0) rect = VRect{0, 0, c.height, c.width};
        host.setBigFilterRect(rect.top, rect.left, rect.bottom, rect.right);
        if (c.masked) host.setMask(rampMask(c.width, c.height));
        ASSERT_EQ(host.run(false), noErr) << c.width << " x " << c.height;
        EXPECT_EQ(host.bigDocument->PluginUsing32BitCoordinates, 1);
        EXPECT_TRUE(host.requestsEmpty());
        EXPECT_EQ(host.counts.badCalls, 0);
        EXPECT_TRUE(host.output == paintedByPainter(*host.settings(), host, rect))
            << c.width << " x " << c.height << (c.masked ? " with a selection" : "");
    }
}

TEST(BigDocument, RowsAndSelectionAreAskedForInThe32BitFields)
{
    // A host that delivers between Continue calls: each call's requests are seen.
    TestHost host(70000, 6, 3);
    host.useBigDocument();
    const VRect f = {1, 33000, 6, 69000};
    host.setBigFilterRect(f.top, f.left, f.bottom, f.right);
    host.setMask(rampMask(host.width, host.height));
    host.record->advanceState = nullptr;
    std::vector<VRect> asked[3];
    host.aroundContinue = [&](bool entering) {
        if (!entering) return;
        asked[0].push_back(host.requestedIn());
        asked[1].push_back(host.requestedOut());
        asked[2].push_back(host.requestedMask());
    };
    ASSERT_EQ(host.run(false), noErr);
    ASSERT_EQ(asked[0].size(), size_t(f.bottom - f.top));
    for (size_t k = 0; k < asked[0].size(); ++k) {
        const int32 y = f.top + int32(k);
        const VRect row = {y, f.left, y + 1, f.right};
        const VRect around = {y - 2 < f.top ? f.top : y - 2, f.left, y + 2 > f.bottom ? f.bottom : y + 2, f.right};
        for (int which = 0; which < 3; ++which) {
            const VRect want = which < 2 ? row : around;
            const VRect& got = asked[which][k];
            EXPECT_TRUE(got.top == want.top && got.left == want.left && got.bottom == want.bottom &&
                        got.right == want.right)
                << "row " << y << ", request " << which << ": " << got.top << "," << got.left << "," << got.bottom
                << "," << got.right;
        }
    }
}

TEST(BigDocument, SmallDocumentPaintsAlikeEitherWay)
{
    // One host at a time: the test host's suites are shared.
    std::vector<uint8> outputs[2];
    for (int big = 0; big < 2; ++big) {
        TestHost host(300, 40, 3);
        if (big) host.useBigDocument();
        ASSERT_EQ(host.run(false), noErr);
        outputs[big] = host.output;
    }
    EXPECT_EQ(outputs[1], outputs[0]);
}

TEST(BigDocument, RectangleBeyondTheLargestDocumentIsRefused)
{
    TestHost host(64, 8, 3);
    host.useBigDocument();
    host.setBigFilterRect(0, 0, 8, 2000000000);
    EXPECT_EQ(host.call(filterSelectorPrepare), filterBadParameters);
}

TEST(BigDocument, PreviewSamplesInsideTheImage)
{
    const struct {
        int width, height;
    } cases[] = {{40000, 64}, {64, 40000}};
    for (const auto& c : cases) {
        TestHost host(c.width, c.height, 3);
        host.useBigDocument();
        ASSERT_EQ(host.call(filterSelectorPrepare), noErr);
        FilterContext* ctx = host.context();
        host.settings()->dialogActive = 1;
        ctx->previewItemRect = VRect{0, 0, 300, 400};
        const int32 fit = fitPreview(ctx);
        EXPECT_GE(fit, 40000 / 400) << c.width;
        // At the fit factor, at full size, and panned as far as it goes.
        for (int32 factor : {fit, int32(1)}) {
            host.settings()->panX = host.settings()->panY = 1 << 30;
            clampPan(ctx, factor);
            setupPreview(ctx, factor);
            ASSERT_EQ(host.result, noErr);
            const VRect in = host.requestedIn(), out = host.requestedOut(), mask = host.requestedMask();
            EXPECT_GT(in.right - in.left, 0);
            EXPECT_GT(in.bottom - in.top, 0);
            EXPECT_GE(in.left, 0);
            EXPECT_GE(in.top, 0);
            // The last pixel sampled lies inside the image.
            EXPECT_LT(int64_t(in.right - 1) * factor, c.width) << factor;
            EXPECT_LT(int64_t(in.bottom - 1) * factor, c.height) << factor;
            EXPECT_EQ(in.right - in.left, ctx->renderWidth);
            EXPECT_EQ(out.right - out.left, in.right - in.left);
            EXPECT_EQ(out.bottom - out.top, in.bottom - in.top);
            EXPECT_EQ(mask.left, in.left);
            EXPECT_EQ(mask.bottom, in.bottom);
            EXPECT_EQ(host.record->inputRate, factor * 65536);
            EXPECT_NE(host.record->inData, nullptr);
        }
    }
}
