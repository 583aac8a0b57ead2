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
