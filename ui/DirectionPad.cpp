#include "ui/DirectionPad.h"

#include <cmath>

void padVectorAt(double dx, double dy, float v[3])
{
    double r = std::sqrt(dx * dx + dy * dy);
    if (r < padRadius) r = padRadius;
    float x = float(dx / r), y = float(dy / r);
    double t = 1.0 - double(x) * x - double(y) * y;
    float z = float(std::sqrt(t < 0.0 ? 0.0 : t));
    float s = x * x + y * y + z * z;
    if (s != 0.0f) {
        float length = std::sqrt(s);
        x /= length;
        y /= length;
        z /= length;
    }
    v[0] = x;
    v[1] = y;
    v[2] = z;
}

void padVectorAtPoint(int x, int y, int left, int top, int dpi, float v[3])
{
    const double unit = double(baseDpi) / dpi;  // device pixels to 96-DPI units
    padVectorAt((x - left) * unit - padCentreX, (y - top) * unit - padCentreY, v);
}

PadPoint padMarkerPoint(int left, int top, const float v[3], int dpi)
{
    const double reach = padRadius * scaleOf(dpi);
    return PadPoint{left + scaledLength(42, dpi) + int(reach * v[0]), top + scaledLength(41, dpi) + int(reach * v[1])};
}

PadPoint padStickStart(int left, int top, const float v[3], int dpi)
{
    const double k = scaleOf(dpi), reach = padRadius * k;
    return PadPoint{left + scaledLength(41, dpi) + int((reach * v[0] + 0.5 * k) * 10.0 / 29.0),
                    top + scaledLength(40, dpi) + int((reach * v[1] + 0.5 * k) * 10.0 / 29.0)};
}
