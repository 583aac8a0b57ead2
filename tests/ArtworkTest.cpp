// The committed artwork is exactly what its sources draw, so nobody edits a
// bitmap by hand and no source change goes unredrawn (scripts/artwork).
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "resources/artwork/Artwork.h"

static std::vector<char> fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(Artwork, CommittedFilesAreWhatTheSourcesDraw)
{
    char folderTemplate[] = "/tmp/nimbulo-artwork-XXXXXX";
    ASSERT_NE(mkdtemp(folderTemplate), nullptr);
    std::string folder = folderTemplate, error;
    ASSERT_TRUE(writeArtwork(folder, defaultFontFolder, NIMBULO_VERSION, &error)) << error;
    for (const char* const* name = kArtworkFiles; *name; ++name) {
        std::vector<char> drawn = fileBytes(folder + "/" + *name);
        std::vector<char> committed = fileBytes(std::string(NIMBULO_SOURCE_DIR) + "/resources/art/" + *name);
        EXPECT_FALSE(drawn.empty()) << *name;
        EXPECT_TRUE(drawn == committed) << *name << " differs: run scripts/artwork";
        std::remove((folder + "/" + *name).c_str());
    }
    std::remove(folder.c_str());
}
