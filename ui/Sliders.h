// The sliders (a bitmap track, a knob and a number field) and the light
// pad: drawing them and dragging them with the mouse.
#pragma once

#include <windows.h>

struct FilterContext;

// Track and knob of the slider whose track or number field is `id`.
void drawSliderTrack(HWND dialog, HDC dc, int id);
// The number field of the slider whose track or number field is `id`.
void drawSliderNumber(HWND dialog, HDC dc, int id);

// One mouse move while the track `id` holds the capture, at client point
// (x, y). Returns false when the pointer has not moved (nothing is drawn).
bool dragSlider(FilterContext* ctx, HWND dialog, int id, int x, int y);

void drawPad(HWND dialog, HDC dc, int id);
bool dragPad(FilterContext* ctx, HWND dialog, int id, int x, int y);
