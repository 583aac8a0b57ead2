#include "render/Compose8.h"

void BuildOverRatioTable(CloudTables* t)
{
    t->OverRatioTable[0] = 0.0f;
    for (int k = 1; k < 255; ++k) t->OverRatioTable[k] = float(1.0 / (1.0 / (k * byteToUnit) - 1.0));
    t->OverRatioTable[255] = 1.0e8f;
}

ComposedPixel ComposeCloudPixel(const CloudTables* t, const CloudPixel& cloud, const int32_t source[3], int32_t a0,
                                bool colour, bool transparency)
{
    return compose8::composePixel(t, cloud, source, a0, colour, transparency);
}
