#include "host/EngineHarness.h"

#include <cstring>
#include <memory>

#include "host/Apply.h"
#include "host/Context.h"
#include "host/Handles.h"
#include "host/RenderRows.h"
#include "render/CloudReach.h"
#include "render/Compose8.h"
#include "render/RowWorkers.h"

namespace testhost {

ClearSkyScope::ClearSkyScope(bool skipped) { setClearSkySkipping(skipped); }
ClearSkyScope::~ClearSkyScope() { setClearSkySkipping(true); }

Picture gradientPicture(int width, int height, int planes, bool transparency)
{
    Picture p;
    p.width = width;
    p.height = height;
    p.planes = planes;
    p.transparency = transparency;
    p.pixels.resize(size_t(width) * height * planes);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < planes; ++c) {
                int value = (x * 255 / (width > 1 ? width - 1 : 1) + c * 85 + y * 3) & 255;
                if (transparency && c == planes - 1) value = (x * 37 + y * 11) % 256;  // 0 and 255 both occur
                p.pixels[(size_t(y) * width + x) * planes + c] = uint8_t(value);
            }
    return p;
}

Picture sixteenBitPicture(const Picture& eightBit)
{
    Picture p = eightBit;
    p.bytesPerSample = 2;
    p.pixels.resize(eightBit.pixels.size() * 2);
    for (size_t k = 0; k < eightBit.pixels.size(); ++k) {
        unsigned v = (eightBit.pixels[k] * 32768u + 127u) / 255u;
        p.pixels[2 * k] = uint8_t(v);
        p.pixels[2 * k + 1] = uint8_t(v >> 8);
    }
    return p;
}

std::vector<uint8_t> eightBitSamples(const Picture& sixteenBit)
{
    std::vector<uint8_t> bytes(sixteenBit.pixels.size() / 2);
    for (size_t k = 0; k < bytes.size(); ++k) {
        unsigned v = sixteenBit.pixels[2 * k] | sixteenBit.pixels[2 * k + 1] << 8;
        bytes[k] = uint8_t((v * 255u + 16384u) / 32768u);
    }
    return bytes;
}

RenderRig::RenderRig(const CloudSettings& settings, const Picture& picture) : work(new WorkBlock())
{
    record.parameters = newHandle(&record, sizeof(CloudSettings));
    std::memcpy(*record.parameters, &settings, sizeof settings);
    ctx.filter = &record;
    ctx.result = &result;
    ctx.work = work.get();
    record.planes = int16(picture.planes);
    record.filterRect = {0, 0, int16(picture.height), int16(picture.width)};
    record.inLoPlane = record.outLoPlane = 0;
    record.inHiPlane = record.outHiPlane = int16(picture.planes - 1);
    const bool deep = picture.bytesPerSample == 2;
    record.imageMode = picture.planes >= 3 ? (deep ? plugInModeRGB48 : plugInModeRGBColor)
                                           : (deep ? plugInModeGray16 : plugInModeGrayScale);
    record.depth = deep ? 16 : 8;
    if (picture.imageMode >= 0) {
        record.imageMode = int16(picture.imageMode);
        record.depth = 8 * picture.bytesPerSample;
    }
    record.filterCase =
        picture.transparency ? filterCaseEditableTransparencyNoSelection : filterCaseFlatImageNoSelection;
    if (picture.transparency) record.inLayerPlanes = record.outLayerPlanes = int16(picture.planes - 1);
    ctx.savedFilterRect = VRect{0, 0, picture.height, picture.width};
    setRenderGeometry(&ctx, ctx.savedFilterRect, 1);
    prepareRenderPass(&ctx);
}

RenderRig::~RenderRig() { disposeHandle(&record, record.parameters); }

void RenderRig::renderRow(const uint8_t* in, uint8_t* out, int y)
{
    int16 width = int16(ctx.renderWidth);
    record.inRect = {int16(y), 0, int16(y + 1), width};
    record.outRect = record.inRect;
    record.inData = const_cast<uint8_t*>(in);
    record.outData = out;
    record.inRowBytes = record.outRowBytes = width * record.planes * (record.depth / 8);
    ctx.renderRow = y;
    RenderCloudRow(&ctx);
}

CloudSettings defaultSettings()
{
    FilterRecord record{};
    FilterContext ctx{};
    int16 result = 0;
    ctx.filter = &record;
    ctx.result = &result;
    record.parameters = newHandle(&record, sizeof(CloudSettings));
    initSettingsBlock(&ctx);
    CloudSettings settings;
    std::memcpy(&settings, *record.parameters, sizeof settings);
    disposeHandle(&record, record.parameters);
    return settings;
}

Picture renderInProcess(const CloudSettings& settings, const Picture& source, int threads)
{
    RenderRig rig(settings, source);
    settingsOf(&rig.ctx)->dialogActive = 0;
    Picture out = source;
    size_t rowBytes = size_t(source.width) * source.planes * source.bytesPerSample;
    RenderWorkers helpers(threads);
    for (int y = 0; y < source.height; ++y) rig.renderRow(&source.pixels[y * rowBytes], &out.pixels[y * rowBytes], y);
    return out;
}

Picture renderPreviewInProcess(const CloudSettings& settings, const Picture& source, const std::vector<uint8_t>& mask,
                               int threads)
{
    RenderRig rig(settings, source);
    settingsOf(&rig.ctx)->dialogActive = 1;
    Picture out = source;
    FilterRecord& r = rig.record;
    r.inRect = r.outRect = r.maskRect = r.filterRect;
    r.inData = const_cast<uint8_t*>(source.pixels.data());
    r.outData = out.pixels.data();
    r.inRowBytes = r.outRowBytes = source.width * source.planes * source.bytesPerSample;
    if (!mask.empty()) {
        r.haveMask = true;
        r.maskData = const_cast<uint8_t*>(mask.data());
        r.maskRowBytes = source.width;
    }
    rig.ctx.maskRowFirst = rig.ctx.inRowFirst = 0;
    rig.ctx.maskRowLast = rig.ctx.inRowLast = source.height - 1;
    RenderWorkers helpers(threads);
    for (int y = 0; y < source.height; ++y) {
        rig.ctx.renderRow = y;
        RenderCloudRow(&rig.ctx);
    }
    return out;
}

uint64_t fnv1a64(const std::vector<uint8_t>& bytes)
{
    uint64_t h = 0xCBF29CE484222325ull;
    for (uint8_t b : bytes) {
        h ^= b;
        h *= 0x100000001B3ull;
    }
    return h;
}

}  // namespace testhost
