// TintCloudPixel for a pack of pixels: the lit cloud colour, tinted toward
// the sky's hue in the shadows, with the same float operations as the scalar
// code lane by lane. Of the shaded colour's HSL only the lightness is used
// (the sky gives the hue and the saturation), and the sky's hue is the same
// for every pixel, so its sextant and fraction are settled once per pack.
#pragma once

#include "render/CloudModel.h"

template <class L> struct TintLanes {
    typedef typename L::F F;

    // The colour of pixels of shade `shade` (at least 0): red, green and blue
    // stored lane by lane.
    static void tint(const CloudRow* row, F shade, float* red, float* green, float* blue)
    {
        const F one = L::set(1.0f), zero = L::set(0.0f);
        F r = L::mul(L::set(row->cloudRed), shade), g = L::mul(L::set(row->cloudGreen), shade),
          b = L::mul(L::set(row->cloudBlue), shade);
        const F tintAmount = L::mul(L::sub(one, L::mul(shade, shade)), L::set(row->skyLight));
        const F tinted = L::gt(tintAmount, zero);
        if (L::bits(tinted)) {
            // RgbToHsl's lightness: (largest + smallest) / 2, chosen as its comparisons choose.
            F v = L::select(L::gt(r, g), r, g);
            v = L::select(L::gt(b, v), b, v);
            F m = L::select(L::lt(r, g), r, g);
            m = L::select(L::lt(b, m), b, m);
            const F l = L::div(L::add(v, m), L::set(2.0f));
            // HslToRgb with the sky's hue and saturation.
            const float s = row->skySaturation;
            const F high = L::select(L::le(l, L::set(0.5f)), L::mul(l, L::set(1.0f + s)),
                                     L::sub(L::add(l, L::set(s)), L::mul(l, L::set(s))));
            const F low = L::sub(L::mul(L::set(2.0f), l), high);
            const F sv = L::div(L::sub(high, low), high);
            int sextant;
            float fraction;
            HueSextant(row->skyHue, &sextant, &fraction);
            const F vsf = L::mul(L::mul(high, sv), L::set(fraction));
            const F mid1 = L::add(low, vsf), mid2 = L::sub(high, vsf);
            F tr, tg, tb;
            // clang-format off
            switch (sextant) {
            case 0: tr = high; tg = mid1; tb = low; break;
            case 1: tr = mid2; tg = high; tb = low; break;
            case 2: tr = low; tg = high; tb = mid1; break;
            case 3: tr = low; tg = mid2; tb = high; break;
            case 4: tr = mid1; tg = low; tb = high; break;
            default: tr = high; tg = low; tb = mid2; break;
            }
            // clang-format on
            // A lightness that gives no colour at all gives black.
            const F black = L::le(high, zero);
            tr = L::select(black, zero, tr);
            tg = L::select(black, zero, tg);
            tb = L::select(black, zero, tb);
            r = L::select(tinted, L::add(r, L::mul(L::sub(tr, r), tintAmount)), r);
            g = L::select(tinted, L::add(g, L::mul(L::sub(tg, g), tintAmount)), g);
            b = L::select(tinted, L::add(b, L::mul(L::sub(tb, b), tintAmount)), b);
        }
        L::store(red, r);
        L::store(green, g);
        L::store(blue, b);
    }
};
