#include "ui/DirectionPad.h"

#include <cmath>

void padVectorAt(int dx, int dy, float v[3])
{
    double r = std::sqrt(double(dx) * dx + double(dy) * dy);
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

PadPoint padMarkerPoint(int left, int top, const float v[3])
{
    return PadPoint{left + 42 + int(33.0 * v[0]), top + 41 + int(33.0 * v[1])};
}

PadPoint padStickStart(int left, int top, const float v[3])
{
    return PadPoint{left + 41 + int((33.0 * v[0] + 0.5) * 10.0 / 29.0),
                    top + 40 + int((33.0 * v[1] + 0.5) * 10.0 / 29.0)};
}
