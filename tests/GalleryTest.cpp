// The shipped looks: every presets file loads, holds settings the controls
// can make and paints; the committed files and the README's contact sheet are
// exactly what their sources draw (scripts/gallery).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/ImageFile.h"
#include "host/TestHost.h"
#include "resources/artwork/Artwork.h"
#include "resources/gallery/Gallery.h"
#include "resources/gallery/Looks.h"

TEST(Gallery, ShippedLooksLoadPaintAndAreWhatTheSourcesDraw)
{
    const std::string source = NIMBULO_SOURCE_DIR;
    ASSERT_GE(kLookCount, 12);
    std::vector<LookOutcome> outcomes;
    std::string error;
    // The committed files, as a user gets them.
    ASSERT_TRUE(
        drawContactSheet(source + "/presets", defaultFontFolder, "/tmp/nimbulo-sheet-check.png", &outcomes, &error))
        << error;
    ASSERT_EQ(int(outcomes.size()), kLookCount);
    for (const LookOutcome& o : outcomes) {
        EXPECT_TRUE(o.loaded) << o.file;
        EXPECT_TRUE(o.inRange) << o.file;
        EXPECT_TRUE(o.painted) << o.file;
    }
    // The pictures, not the files' bytes: a PNG writer may pack the same pixels differently.
    Image drawn, committed;
    ASSERT_EQ(readImage("/tmp/nimbulo-sheet-check.png", 0, 100000, &drawn, &error), imageOk) << error;
    ASSERT_EQ(readImage(source + "/docs/looks.png", 0, 100000, &committed, &error), imageOk) << error;
    EXPECT_TRUE(drawn.width == committed.width && drawn.height == committed.height &&
                drawn.channels == committed.channels && drawn.pixels == committed.pixels)
        << "docs/looks.png differs from what the shipped looks paint: run scripts/gallery";

    // The files themselves are what the looks' table writes.
    char folderTemplate[] = "/tmp/nimbulo-looks-XXXXXX";
    ASSERT_NE(mkdtemp(folderTemplate), nullptr);
    ASSERT_TRUE(writeLookPresets(folderTemplate, &error)) << error;
    for (int k = 0; k < kLookCount; ++k) {
        std::string name = std::string("/") + kLooks[k].file + ".k00";
        EXPECT_TRUE(testhost::readBytes(folderTemplate + name) == testhost::readBytes(source + "/presets" + name))
            << name << " differs from its row in the looks' table: run scripts/gallery";
        std::remove((folderTemplate + name).c_str());
    }
    std::remove(folderTemplate);
    std::remove("/tmp/nimbulo-sheet-check.png");
}
