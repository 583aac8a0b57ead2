// nimbulo-artwork FOLDER [FONT-FOLDER]: draws every bitmap, icon and cursor
// of the module into FOLDER.
#include <cstdio>
#include <string>

#include "resources/artwork/Artwork.h"

#ifndef NIMBULO_VERSION
#define NIMBULO_VERSION "0.0.0"
#endif

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: nimbulo-artwork FOLDER [FONT-FOLDER]\n");
        return 2;
    }
    std::string error;
    if (!writeArtwork(argv[1], argc == 3 ? argv[2] : defaultFontFolder, NIMBULO_VERSION, &error)) {
        std::fprintf(stderr, "nimbulo-artwork: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
