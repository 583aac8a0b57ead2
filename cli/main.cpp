// nimbulo: drives the filter through its entry point as an image editor does.
#include <cstdio>
#include <cstring>
#include <vector>

#include "host/Entry.h"

static const char* selectorName(int16 selector)
{
    static const char* const names[] = {"about", "parameters", "prepare", "start", "continue", "finish"};
    return selector >= 0 && selector <= 5 ? names[selector] : "?";
}

// One run over a small in-memory image, reporting each selector's result.
static int smoke()
{
    const int width = 64, height = 48, planes = 3;
    std::vector<uint8> image(size_t(width) * height * planes, 128);
    std::vector<uint8> recordBytes(sizeof(FilterRecord) + 512, 0);
    auto* record = reinterpret_cast<FilterRecord*>(recordBytes.data());
    record->planes = planes;
    record->imageSize = {int16(height), int16(width)};
    record->filterRect = {0, 0, int16(height), int16(width)};
    record->imageMode = plugInModeRGBColor;
    record->filterCase = filterCaseFlatImageNoSelection;

    intptr_t data = 0;
    int16 result = 0;
    for (int16 selector : {filterSelectorPrepare, filterSelectorStart}) {
        ENTRYPOINT(selector, record, &data, &result);
        std::printf("%-10s %d\n", selectorName(selector), result);
        if (result != noErr) return 1;
    }
    while (record->inRect.bottom > record->inRect.top) {
        ENTRYPOINT(filterSelectorContinue, record, &data, &result);
        if (result != noErr) {
            std::printf("%-10s %d\n", "continue", result);
            return 1;
        }
    }
    ENTRYPOINT(filterSelectorFinish, record, &data, &result);
    std::printf("%-10s %d\n", "finish", result);
    return result == noErr ? 0 : 1;
}

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "smoke") == 0) return smoke();
    std::fprintf(stderr, "usage: nimbulo smoke\n");
    return 2;
}
