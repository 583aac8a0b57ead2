// nimbulo-gallery PRESETS-FOLDER SHEET.png [FONT-FOLDER]: writes the shipped
// looks' presets files into the folder, then draws the contact sheet from them.
#include <cstdio>
#include <string>
#include <vector>

#include "resources/artwork/Artwork.h"
#include "resources/gallery/Gallery.h"

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: nimbulo-gallery PRESETS-FOLDER SHEET.png [FONT-FOLDER]\n");
        return 2;
    }
    std::string error;
    std::vector<LookOutcome> outcomes;
    if (!writeLookPresets(argv[1], &error) ||
        !drawContactSheet(argv[1], argc == 4 ? argv[3] : defaultFontFolder, argv[2], &outcomes, &error)) {
        std::fprintf(stderr, "nimbulo-gallery: %s\n", error.c_str());
        return 1;
    }
    for (const LookOutcome& o : outcomes)
        if (!o.painted) {
            std::fprintf(stderr, "nimbulo-gallery: %s did not paint\n", o.file.c_str());
            return 1;
        }
    return 0;
}
