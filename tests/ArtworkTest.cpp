// The committed artwork is exactly what its sources draw, so nobody edits a
// bitmap by hand and no source change goes unredrawn (scripts/artwork).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/TestHost.h"
#include "resources/artwork/Artwork.h"

TEST(Artwork, CommittedFilesAreWhatTheSourcesDraw)
{
    char folderTemplate[] = "/tmp/nimbulo-artwork-XXXXXX";
    ASSERT_NE(mkdtemp(folderTemplate), nullptr);
    std::string folder = folderTemplate, error;
    ASSERT_TRUE(writeArtwork(folder, defaultFontFolder, NIMBULO_VERSION, &error)) << error;
    for (const char* const* name = kArtworkFiles; *name; ++name) {
        std::vector<uint8_t> drawn = testhost::readBytes(folder + "/" + *name);
        std::vector<uint8_t> committed =
            testhost::readBytes(std::string(NIMBULO_SOURCE_DIR) + "/resources/art/" + *name);
        EXPECT_FALSE(drawn.empty()) << *name;
        EXPECT_TRUE(drawn == committed) << *name << " differs: run scripts/artwork";
        std::remove((folder + "/" + *name).c_str());
    }
    std::remove(folder.c_str());
}
