// Every test program runs with a temporary folder of its own, so the plug-in's
// cache and undo files never meet a user's, nor another test program's.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "cli/System.h"

int main(int argc, char** argv)
{
    std::string folder = makePrivateTempFolder();
    if (folder.empty()) {
        std::fprintf(stderr, "cannot create a private temporary folder\n");
        return 2;
    }
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    removePrivateTempFolder(folder);
    return result;
}
