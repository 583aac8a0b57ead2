// The cloud model for a pack of neighbouring pixels of one row: the same
// operations in the same order and precision as ShadeCloudPixel, written once
// for any lane type of Lanes.h. Included only by the files that build a path
// (CloudLanesSse2.cpp, CloudLanesAvx2.cpp).
#pragma once

#include <cmath>

#include "render/CloudModel.h"
#include "render/CloudReach.h"
#include "render/DetMath.h"
#include "render/EngineConstants.h"
#include "render/Lanes.h"
#include "render/TintLanes.h"

template <class L> struct CloudLanes {
    typedef typename L::F F;
    typedef typename L::I I;
    typedef typename L::D D;
    typedef HalfPairs<L> H;  // the double maths below: both halves of a pack at once
    typedef typename H::D DD;
    enum { count = L::count };

    static F clampUnit(F v)
    {
        // v < 0 ? 0 : (v > 1 ? 1 : v), letting a NaN through as the scalar code does.
        F zero = L::set(0.0f), one = L::set(1.0f);
        return L::select(L::lt(v, zero), zero, L::select(L::gt(v, one), one, v));
    }

    // The cell of a coordinate: negative whole numbers fall into the cell below.
    static I cellOf(F v)
    {
        return L::iselect(L::asInt(L::ge(v, L::set(0.0f))), L::truncate(v), L::truncate(L::sub(v, L::set(1.0f))));
    }

    static F fade(F t)
    {
        F inner = L::add(L::mul(t, L::sub(L::mul(t, L::set(fadeQuintic)), L::set(fadeQuartic))), L::set(fadeCubic));
        return L::mul(L::mul(L::mul(t, t), t), inner);
    }

    static F lerp(F t, F a, F b) { return L::add(a, L::mul(t, L::sub(b, a))); }

    // The gradient of class k (Lattice.h): gx is +-1 for k < 6, else 0; gy is
    // +-1 for k < 4 and k >= 6, else 0; the signs as the class table has them.
    static F gradient(I k, F dx, F dy, F tableX, F tableY)
    {
        if (L::hasLookup8) return L::add(L::mul(L::lookup8(tableX, k), dx), L::mul(L::lookup8(tableY, k), dy));
        I one = L::iset(1);
        I below4 = L::ilt(k, L::iset(4)), below6 = L::ilt(k, L::iset(6));
        I xNegative = L::ieq(L::iand(k, one), one);
        I yNonZero = L::ior(below4, L::iselect(below6, L::iset(0), L::iset(-1)));
        I yNegative = L::iselect(below4, L::ieq(L::iand(k, L::iset(2)), L::iset(2)), xNegative);
        F plus = L::set(1.0f), minus = L::set(-1.0f), nought = L::set(0.0f);
        F gx = L::select(L::asFloat(below6), L::select(L::asFloat(xNegative), minus, plus), nought);
        F gy = L::select(L::asFloat(yNonZero), L::select(L::asFloat(yNegative), minus, plus), nought);
        return L::add(L::mul(gx, dx), L::mul(gy, dy));
    }

    // The noise proper; lanes without a cell must hold harmless coordinates.
    static F noiseInCell(const uint16_t* corners, F x, F y)
    {
        I xi = cellOf(x), yi = cellOf(y);
        I cell = L::ior(L::template shiftLeft<8>(L::iand(xi, L::iset(255))), L::iand(yi, L::iset(255)));
        I h = L::gather16(corners, cell);
        I nibble = L::iset(15);
        F fx = L::sub(x, L::toFloat(xi)), fy = L::sub(y, L::toFloat(yi));
        F u = fade(fx), v = fade(fy);
        F one = L::set(1.0f);
        F fx1 = L::sub(fx, one), fy1 = L::sub(fy, one);
        F tx = L::hasLookup8 ? L::load(ClassGradientX) : one, ty = L::hasLookup8 ? L::load(ClassGradientY) : one;
        F g00 = gradient(L::iand(h, nibble), fx, fy, tx, ty);
        F g10 = gradient(L::iand(L::template shiftRight<4>(h), nibble), fx1, fy, tx, ty);
        F g01 = gradient(L::iand(L::template shiftRight<8>(h), nibble), fx, fy1, tx, ty);
        F g11 = gradient(L::template shiftRight<12>(h), fx1, fy1, tx, ty);
        return lerp(v, lerp(u, g00, g10), lerp(u, g01, g11));
    }

    static F hasCell(F x, F y)
    {
        F limit = L::set(largestCell);
        return L::both(L::lt(L::abs(x), limit), L::lt(L::abs(y), limit));
    }

    // A float pack from a double expression evaluated on its two halves together.
    template <typename Op> static F inDouble(F a, Op op)
    {
        const DD both = op(DD{L::lowHalf(a), L::highHalf(a)});
        return L::fromHalves(both.low, both.high);
    }

    // One octave's noise at (x, y), sampled in the frame turned by 39
    // degrees; *inside marks the lanes whose point has a cell (elsewhere the
    // octave adds nothing).
    static F turnedNoise(const uint16_t* corners, F x, float y, F* inside)
    {
        const D ys = L::dset(double(y) * octaveTurnSin), yc = L::dset(double(y) * octaveTurnCos);
        const D c = L::dset(octaveTurnCos), s = L::dset(octaveTurnSin);
        D low = L::lowHalf(x), high = L::highHalf(x);
        F turnedX = L::fromHalves(L::dsub(L::dmul(low, c), ys), L::dsub(L::dmul(high, c), ys));
        F turnedY = L::fromHalves(L::dadd(yc, L::dmul(low, s)), L::dadd(yc, L::dmul(high, s)));
        *inside = hasCell(turnedX, turnedY);
        if (L::bits(*inside) == L::allBits()) return noiseInCell(corners, turnedX, turnedY);
        F zero = L::set(0.0f);
        return noiseInCell(corners, L::select(*inside, turnedX, zero), L::select(*inside, turnedY, zero));
    }

    // The next octave's coordinates: off the lattice and finer by the lacunarity.
    static F nextOctaveX(F x)
    {
        const D shift = L::dset(octaveShiftX), scale = L::dset(octaveLacunarity);
        return L::fromHalves(L::dmul(L::dadd(L::lowHalf(x), shift), scale),
                             L::dmul(L::dadd(L::highHalf(x), shift), scale));
    }

    static float nextOctaveY(float y) { return float((y + octaveShiftY) * octaveLacunarity); }

    // FractalNoise for a pack; with `rest` (see FractalNoiseBelow) it stops,
    // setting *stopped, once no lane's sum can exceed its `ceiling`.
    static F fractalNoise(const uint16_t* corners, F x, float y, float octaves, float gain, const float* rest = nullptr,
                          int restCount = -1, F ceiling = L::set(0.0f), bool* stopped = nullptr)
    {
        F sum = L::set(0.0f), zero = L::set(0.0f);
        float amplitude = 1.0f;
        int whole = 0;
        auto nothingCanCover = [&] {
            return whole <= restCount && L::bits(L::le(L::add(sum, L::set(rest[whole])), ceiling)) == L::allBits();
        };
        for (float i = 1.0f; i <= octaves; i += 1.0f) {
            if (nothingCanCover()) {
                *stopped = true;
                return sum;
            }
            F inside;
            F n = turnedNoise(corners, x, y, &inside);
            sum = L::select(inside, L::add(sum, L::mul(L::set(amplitude), n)), sum);
            x = nextOctaveX(x);
            y = nextOctaveY(y);
            amplitude *= gain;
            ++whole;
        }
        if (nothingCanCover()) {
            *stopped = true;
            return sum;
        }
        if (!(std::fabs(octaves) < largestCell)) return sum;
        float fraction = octaves - float(octaves >= 0.0f ? int(octaves) : int(octaves - 1.0f));
        if (fraction == 0.0f) return sum;
        F yy = L::set(y);
        F inside = hasCell(x, yy);
        F n = noiseInCell(corners, L::select(inside, x, zero), L::select(inside, yy, zero));
        return L::select(inside, L::add(sum, L::mul(L::set(amplitude * fraction), n)), sum);
    }

    // ---- Deterministic maths in double, for the turns of the light and the shade,
    // on both halves of a pack at once. ----

    static DD sinKernel(DD r)
    {
        DD r2 = H::dmul(r, r);
        DD sum = H::dset(sinTerms[0]);
        for (int k = 1; k < taylorTermCount; ++k) sum = H::dadd(H::dmul(sum, r2), H::dset(sinTerms[k]));
        return H::dadd(r, H::dmul(H::dmul(r, r2), sum));
    }

    static DD cosKernel(DD r)
    {
        DD r2 = H::dmul(r, r);
        DD sum = H::dset(cosTerms[0]);
        for (int k = 1; k < taylorTermCount; ++k) sum = H::dadd(H::dmul(sum, r2), H::dset(cosTerms[k]));
        return H::dadd(H::dset(1.0), H::dmul(r2, sum));
    }

    // floor for |a| < 2^31.
    static DD dfloor(DD a)
    {
        DD t = H::dtruncate(a);
        return H::dselect(H::dgt(t, a), H::dsub(t, H::dset(1.0)), t);
    }

    // DetSin for finite |x| <= 1e9 (the caller checks).
    static DD sine(DD x)
    {
        DD k = dfloor(H::dadd(H::dmul(x, H::dset(twoOverPi)), H::dset(0.5)));
        DD r = H::dsub(H::dsub(x, H::dmul(k, H::dset(halfPiHigh))), H::dmul(k, H::dset(halfPiLow)));
        DD quarter = H::dsub(k, H::dmul(H::dset(4.0), dfloor(H::dmul(k, H::dset(0.25)))));  // k mod 4
        DD parity = H::dsub(quarter, H::dmul(H::dset(2.0), dfloor(H::dmul(quarter, H::dset(0.5)))));
        DD isOdd = H::deq(parity, H::dset(1.0));
        // Only the kernel some lane takes is evaluated (neighbouring pixels
        // mostly fall in one quarter turn).
        if (!H::dbitsOf(isOdd)) {
            DD s = sinKernel(r);
            return H::dselect(H::deq(quarter, H::dset(0.0)), s, H::dnegate(s));
        }
        if (!H::dbitsOf(H::deq(parity, H::dset(0.0)))) {
            DD c = cosKernel(r);
            return H::dselect(H::deq(quarter, H::dset(1.0)), c, H::dnegate(c));
        }
        DD s = sinKernel(r), c = cosKernel(r);
        DD odd = H::dselect(H::deq(quarter, H::dset(1.0)), c, H::dnegate(c));
        DD even = H::dselect(H::deq(quarter, H::dset(0.0)), s, H::dnegate(s));
        return H::dselect(isOdd, odd, even);
    }

    // DetLog2 for positive normal doubles.
    static DD log2(DD x)
    {
        DD e = H::dsub(H::dexponentField(x), H::dset(1022.0));
        DD m = H::dbits(x, int64_t(0x800FFFFFFFFFFFFFULL), 0x3FE0000000000000LL);  // x = m 2^e, 0.5 <= m < 1
        DD small = H::dlt(m, H::dset(sqrtHalf));
        m = H::dselect(small, H::dmul(m, H::dset(2.0)), m);
        e = H::dselect(small, H::dsub(e, H::dset(1.0)), e);
        DD s = H::ddiv(H::dsub(m, H::dset(1.0)), H::dadd(m, H::dset(1.0)));
        DD s2 = H::dmul(s, s);
        DD sum = H::dset(0.0);
        for (int k = atanhTermCount - 1; k >= 0; --k) sum = H::dadd(H::dmul(sum, s2), H::dset(atanhTerms[k]));
        return H::dadd(e, H::dmul(H::dmul(H::dmul(H::dset(2.0), s), sum), H::dset(log2OfE)));
    }

    // DetExp2 for -1022 <= x + 0.5 < 1023.5, where 2^n is a normal double.
    static DD exp2(DD x)
    {
        DD n = dfloor(H::dadd(x, H::dset(0.5)));
        DD t = H::dmul(H::dsub(x, n), H::dset(ln2));
        DD sum = H::dset(1.0);
        for (int k = expTermCount; k >= 1; --k)
            sum = H::dadd(H::dset(1.0), H::dmul(H::dmul(sum, t), H::dset(expInverse[k])));
        return H::dmul(sum, H::dpowerOfTwo(n));
    }

    // ---- The pixels. ----

    // The field position of the pixels at columns[k] (rectangle pixels, that
    // is (panColumn + i) zoomRate, exact in 32 bits: the caller checks). The
    // float steps keep the order of the columns.
    static F fieldX(const CloudRow* row, const int32_t* columns)
    {
        F px = L::toFloat(L::iload(columns));
        return L::mul(L::sub(L::mul(px, L::set(row->inverseWidth)), L::set(row->centreU)), L::set(row->zoom));
    }

    // The noise a pixel needs, at the least, for some puff to cover it, from
    // the smallest (2d - 1) 2g over the puffs: coveringNoise less twice its margin.
    static F ceilingOfRing(const CloudRow* row, F ring)
    {
        F least = L::mul(L::add(ring, L::set(1.0f - lumpBias)), L::set(1.0f / row->lumpiness));
        return L::sub(
            least, L::add(L::mul(L::set(2e-4f), L::add(L::set(1.0f), L::abs(least))), L::set(2e-5f / row->lumpiness)));
    }

    // The same for every pixel whose field position lies between lowX and
    // highX: a puff of strength 2g covers where n lu - 0.5 exceeds
    // (2d - 1) 2g, which grows with the distance d, so the range's nearest
    // point to each puff decides. The distances are estimates from below
    // (the processor's reciprocal square root, within 1.5 x 2^-12, less
    // 2^-10): quick, and never letting a pixel that could be covered stop.
    static F rangeCeiling(const CloudRow* row, F lowX, F highX)
    {
        F ring = L::set(HUGE_VALF), zero = L::set(0.0f), one = L::set(1.0f);
        const F low = L::set(1.0f - 1.0f / 1024.0f), nearest = L::set(1e-30f);
        for (int p = 0; p < row->puffCount; ++p) {
            const F offset = L::set(row->puffOffsetX[p]);
            // 0 where the range spans the puff's centre, else the nearer end's |a|.
            F a = L::max(zero, L::max(L::add(lowX, offset), L::sub(zero, L::add(highX, offset))));
            float tp = row->puffT[p];
            F d2 = L::max(L::add(L::set(tp * tp), L::mul(a, a)), nearest);
            F d = L::mul(L::mul(d2, L::rsqrtEstimate(d2)), low);
            ring = L::min(ring, L::mul(L::sub(L::mul(L::set(2.0f), d), one), L::set(row->puffTwiceStrength[p])));
        }
        return ceilingOfRing(row, ring);
    }

    // Which of the count - 1 blocks of `count` columns from i0 (4 count at
    // level 1; block k: from column i0 + k of those on) no puff can cover:
    // bit k. The noise is sampled at each block's first column and at the
    // next block's, octave by octave; a block's pixels have at most the
    // larger of its ends' sums plus rest[k] of the level's bounds
    // (CloudModel.h). For bounded rows with a lumpiness above 0; a block it
    // cannot vouch for has its bit clear.
    static int clearBlocks(const CloudRow* row, const CloudTables* t, int32_t i0, int level)
    {
        const CloudRow::BlockBounds& bounds = row->blockBounds[level];
        const int columns = count << (2 * level);
        int32_t firsts[count], lasts[count];
        for (int k = 0; k < count; ++k) {
            firsts[k] = (row->panColumn + i0 + k * columns) * row->zoomRate;
            lasts[k] = (row->panColumn + i0 + k * columns + columns - 1) * row->zoomRate;
        }
        const F lowX = fieldX(row, firsts);
        F x = L::mul(lowX, L::set(row->noiseScaleX));
        // Every lane but the last starts a block that ends at the next lane.
        const int blocks = L::allBits() >> 1;
        // The bounds hold for ends at most their width apart in noise x.
        const F apart = L::abs(L::sub(L::nextLane(x), x));
        if ((L::bits(L::le(apart, L::set(bounds.width))) & blocks) != blocks) return 0;

        const F ceiling = rangeCeiling(row, lowX, fieldX(row, lasts));
        F sum = L::set(0.0f);
        float y = row->fieldY * row->noiseScaleY, amplitude = 1.0f;
        int clear = 0;
        for (int k = 0;; ++k) {
            const F top = L::max(sum, L::nextLane(sum));
            clear |= L::bits(L::le(L::add(top, L::set(bounds.rest[k])), ceiling)) & blocks;
            const int settled = clear | L::bits(L::gt(L::add(top, L::set(bounds.floor[k])), ceiling)) | ~blocks;
            if ((settled & L::allBits()) == L::allBits() || k >= bounds.octaves) return clear;
            F inside;
            F n = turnedNoise(t->CornerHashes, x, y, &inside);
            if (L::bits(inside) != L::allBits()) return clear;
            sum = L::add(sum, L::mul(L::set(amplitude), n));
            x = nextOctaveX(x);
            y = nextOctaveY(y);
            amplitude *= row->gain;
        }
    }

    // Pixels i0 .. i0 + count - 1 of the row set up last; false (nothing
    // written) when some lane leaves the ranges these forms cover, so that the
    // caller takes the scalar path for the pack. *cutShort counts the pixels
    // whose noise stopped early because no puff could cover them.
    static bool shade(const CloudRow* row, const CloudTables* t, int32_t i0, CloudPixel* out, uint32_t* cutShort)
    {
        float opacity[count], glow[count], red[count], green[count], blue[count];
        int32_t columns[count];
        for (int k = 0; k < count; ++k) columns[k] = (row->panColumn + i0 + k) * row->zoomRate;
        F X = fieldX(row, columns);
        F one = L::set(1.0f);
        F noise;
        const F noiseX = L::mul(X, L::set(row->noiseScaleX));
        const float noiseY = row->fieldY * row->noiseScaleY;
        // Each puff's ring (2d - 1) 2g at its distance d, for the coverage
        // and for the stop below, and the smallest of them.
        F rings[maxPuffs], smallest = L::set(HUGE_VALF), total = L::set(0.0f);
        for (int p = 0; p < row->puffCount; ++p) {
            F a = L::add(X, L::set(row->puffOffsetX[p]));
            float tp = row->puffT[p];
            F distance = L::sqrt(L::add(L::set(tp * tp), L::mul(a, a)));
            rings[p] = L::mul(L::sub(L::mul(L::set(2.0f), distance), one), L::set(row->puffTwiceStrength[p]));
            smallest = L::min(smallest, rings[p]);
            total = L::add(total, rings[p]);  // not a number where any ring is not (or infinities cancel)
        }
        if (row->bounded && row->lumpiness > 0.0f) {
            // As in ShadeCloudPixel, the noise stops once no lane can be covered.
            const F least = ceilingOfRing(row, smallest);
            // Every lane covered whatever the noise: no stop to look for.
            const bool hopeless = L::bits(L::lt(least, L::set(-row->noiseRest[0]))) == L::allBits();
            bool stopped = false;
            noise = hopeless ? fractalNoise(t->CornerHashes, noiseX, noiseY, row->octaves, row->gain)
                             : fractalNoise(t->CornerHashes, noiseX, noiseY, row->octaves, row->gain, row->noiseRest,
                                            row->wholeOctaves, least, &stopped);
            if (stopped) {
                for (int k = 0; k < count; ++k) out[k] = clearPixel(row);
                *cutShort += count;
                return true;
            }
        } else {
            noise = fractalNoise(t->CornerHashes, noiseX, noiseY, row->octaves, row->gain);
        }

        // One noise value serves every puff; the pixel takes the largest
        // coverage. Each float step from a puff's ring to its coverage keeps
        // or reverses the order (the coverage never falls as the ring
        // shrinks), so the smallest ring gives the largest coverage: one
        // coverage for all the puffs, unless a ring is not a number.
        const F spread = L::add(L::mul(noise, L::set(row->lumpiness)), L::set(lumpBias));
        const bool numbers = L::bits(L::le(total, total)) == L::allBits();
        F coverage = L::set(0.0f);
        for (int p = 0; p < (numbers ? 1 : row->puffCount); ++p) {
            F w = clampUnit(L::sub(spread, L::add(numbers ? smallest : rings[p], one)));
            F open = L::sub(one, w);
            F open2 = L::mul(open, open);
            F c = L::sub(one, L::mul(L::mul(open2, open2), open));
            coverage = L::max(c, coverage);
        }
        F edge = L::mul(L::mul(L::set(edgeGlowPeak), coverage), L::sub(one, coverage));
        L::store(opacity, coverage);
        L::store(glow, clampUnit(L::mul(edge, L::set(row->glowFactor))));

        // Only lanes where the opacity reaches one level are lit.
        F visible = L::ge(L::mul(coverage, L::set(opacityLevels)), one);
        int shown = L::bits(visible);
        if (shown) {
            F mostLit;
            if (!lightBrightest(row, t, X, noise, visible, &mostLit)) return false;
            F shadeValue;
            if (!shadeOfLight(row, mostLit, &shadeValue)) return false;
            TintLanes<L>::tint(row, L::select(L::lt(shadeValue, L::set(0.0f)), L::set(0.0f), shadeValue), red, green,
                               blue);
        }
        for (int k = 0; k < count; ++k)
            out[k] = shown >> k & 1 ? CloudPixel{red[k], green[k], blue[k], opacity[k], glow[k]}
                                    : CloudPixel{0.0f, 0.0f, 0.0f, opacity[k], glow[k]};
        return true;
    }

    // The largest lit fraction of all puffs in the lanes `shown` (others
    // are left anything); false when a turn leaves the sine's range. As in
    // ShadeCloudPixel, a puff whose bound cannot beat the brightest so far in
    // any shown lane is not lit, which leaves the largest as it is. The puffs
    // are taken in the row's lightOrder, the likely brightest first; once
    // every shown lane is fully lit (1, the most a lit fraction can be), or
    // the bound through the keys (keyRoof) leaves no puff further on able to
    // outshine the brightest, no puff is looked at further.
    static bool lightBrightest(const CloudRow* row, const CloudTables* t, F X, F noise, F shown, F* mostLit)
    {
        F lit;
        const F one = L::set(1.0f), least = L::set(row->leastTurn);
        const F roof = row->skipDimPuffs ? keyRoof(row, X, noise) : one;
        const float halfHarshness = 0.5f * row->harshness;
        const int shownBits = L::bits(shown);
        *mostLit = L::set(0.0f);
        for (int k = 0; k < row->puffCount; ++k) {
            const int p = row->skipDimPuffs ? row->lightOrder[k] : k;
            const F a = L::add(X, L::set(row->puffOffsetX[p]));
            if (row->skipDimPuffs && k > 0) {
                if (!L::bits(L::both(shown, L::lt(*mostLit, one)))) break;
                const F most = L::add(roof, L::set(halfHarshness * row->lightKey[p]));
                if ((L::bits(L::le(most, *mostLit)) & shownBits) == shownBits) break;
                if (!L::bits(L::both(shown, L::gt(litOfTurn(row, p, a, noise, least), *mostLit)))) continue;
            }
            if (!litOfFacing(row, p, a, noise, facingAt(row, t, a, row->puffT[p]), &lit)) return false;
            *mostLit = L::max(lit, *mostLit);
        }
        return true;
    }

    // With h the harshness, puff p's lit fraction at its least turn, before
    // the clamp, is 0.5 - 0.5 h (leastTurn - a lightX - puffLightY[p]) + noise
    // mottling, with a = X + puffOffsetX[p] in float; in real numbers that is
    // this roof, less its margin, plus 0.5 h lightKey[p], to within the float
    // steps' roundings: some 2^-21 of 1 + h (|leastTurn| + |a lightX| +
    // |puffLightY|) + |noise mottling|, and 2^-25 h |lightX| |a| for a's own.
    // The margin, 2^-17 of the same with |a| taken as |X| + 1 and the largest
    // |puffLightY|, covers those and the roof's and the key's own roundings.
    // So roof + 0.5 h lightKey[p] (which falls along lightOrder) is at least
    // LitOfTurn's bound, and where it is no more than the brightest so far,
    // neither is that puff's lit fraction, nor any puff's further on.
    static F keyRoof(const CloudRow* row, F X, F noise)
    {
        const float h = row->harshness, lightX = std::fabs(row->lightX);
        const F lit = L::mul(noise, L::set(row->mottling));
        const F base =
            L::add(L::add(L::set(0.5f - 0.5f * h * row->leastTurn), L::mul(L::set(0.5f * h * row->lightX), X)), lit);
        const F spread =
            L::add(L::add(L::set(1.0f + h * (0.2f + lightX + row->lightYMost)), L::mul(L::set(h * lightX), L::abs(X))),
                   L::abs(lit));
        return L::add(base, L::mul(L::set(0x1p-17f), spread));
    }

    // LitOfTurn for a pack.
    static F litOfTurn(const CloudRow* row, int p, F a, F noise, F turned)
    {
        F S = L::mul(L::set(row->harshness),
                     L::sub(L::sub(turned, L::mul(a, L::set(row->lightX))), L::set(row->puffLightY[p])));
        return clampUnit(
            L::add(L::sub(L::set(litMidpoint), L::mul(L::set(litMidpoint), S)), L::mul(noise, L::set(row->mottling))));
    }

    // PuffLightAt for a pack: the normal's vertical offset `normalT` given;
    // false when a turn leaves the sine's range.
    static bool puffLightAt(const CloudRow* row, const CloudTables* t, int p, F a, float normalT, F noise, F* lit)
    {
        return litOfFacing(row, p, a, noise, facingAt(row, t, a, normalT), lit);
    }

    // PuffLightAt's surface normal at `a` across, dotted with the bent light.
    static F facingAt(const CloudRow* row, const CloudTables* t, F a, float normalT)
    {
        F two = L::set(2.0f), one = L::set(1.0f), zero = L::set(0.0f);
        F nx = L::mul(two, a), ny = L::set(2.0f * normalT), nz = zero;
        F q = L::sub(L::sub(one, L::mul(nx, nx)), L::mul(ny, ny));
        F inside = L::ge(q, zero);
        if (L::bits(inside) != L::allBits()) {
            // Outside the silhouette the normal lies flat: NormalizeVector.
            F s = L::add(L::add(L::mul(nx, nx), L::mul(ny, ny)), L::mul(nz, nz));
            F k = L::select(L::le(s, L::set(directInvSqrtBelow)), L::div(one, L::sqrt(s)), fastInvSqrt(t, s));
            F isZero = L::both(L::ge(s, zero), L::le(s, zero));
            F fx = L::select(isZero, zero, L::mul(nx, k));
            F fy = L::select(isZero, zero, L::mul(ny, k));
            F fz = L::select(isZero, one, L::mul(nz, k));
            nx = L::select(inside, nx, fx);
            ny = L::select(inside, ny, fy);
            nz = L::select(inside, L::sqrt(L::select(inside, q, zero)), fz);
        } else {
            nz = L::sqrt(q);
        }
        return L::add(L::add(L::mul(nx, L::set(row->bentX)), L::mul(ny, L::set(row->bentY))),
                      L::mul(nz, L::set(row->bentZ)));
    }

    // PuffLightAt's last steps, once the facing is known: the turn, then LitOfTurn.
    static bool litOfFacing(const CloudRow* row, int p, F a, F noise, F facing, F* lit)
    {
        if (L::bits(L::lt(L::abs(facing), L::set(1.0e6f))) != L::allBits()) return false;
        F turned =
            inDouble(facing, [](DD f) { return H::dmul(H::dset(lightTurn), sine(H::dmul(f, H::dset(quarterTurn)))); });
        *lit = litOfTurn(row, p, a, noise, turned);
        return true;
    }

    static F fastInvSqrt(const CloudTables* t, F s)
    {
        I b = L::asInt(s);
        I e = L::iand(L::template shiftRight<23>(b), L::iset(255));
        I guess = L::iand(L::isub(L::iset(int32_t(invSqrtGuess)), L::template shiftLeft<22>(e)),
                          L::iset(int32_t(invSqrtGuessMask)));
        I mantissa = L::gather8(t->InvSqrtTable, L::iand(L::template shiftRight<17>(b), L::iset(127)));
        F r = L::asFloat(L::ior(guess, L::template shiftLeft<15>(mantissa)));
        F three = L::set(3.0f), half = L::set(0.5f);
        r = L::mul(L::mul(r, L::sub(three, L::mul(L::mul(r, r), s))), half);
        r = L::mul(L::mul(r, L::sub(three, L::mul(L::mul(r, r), s))), half);
        return r;
    }

    // ShadeOfLight for a pack; false when a power leaves the range of exp2.
    static bool shadeOfLight(const CloudRow* row, F lit, F* shadeValue)
    {
        F base = L::sub(L::set(1.0f), lit);
        const double exponent = row->shadeExponent;
        bool inRange = true;
        auto power = [&](DD b) {
            // DetPow: 0 ** positive is 0 and 1 ** anything 1; the rest through log and exp.
            DD x = H::dmul(H::dset(exponent), log2(H::dselect(H::dgt(b, H::dset(0.0)), b, H::dset(1.0))));
            if (H::dbitsOf(H::dlt(x, H::dset(-1022.0))) != 0) inRange = false;
            DD p = exp2(x);
            p = H::dselect(H::deq(b, H::dset(1.0)), H::dset(1.0), p);
            return H::dselect(H::deq(b, H::dset(0.0)), H::dset(exponent > 0.0 ? 0.0 : HUGE_VAL), p);
        };
        if (!(exponent >= 1.0 && exponent <= 1000.0)) return false;
        if (L::bits(L::both(L::ge(base, L::set(0.0f)), L::le(base, L::set(1.0f)))) != L::allBits()) return false;
        // Bases of 0 and 1 (fully lit, unlit) have the powers 0 and 1 with
        // no series; a pack of those alone skips it.
        const F zero = L::le(base, L::set(0.0f));
        const bool series = (L::bits(zero) | L::bits(L::ge(base, L::set(1.0f)))) != L::allBits();
        F shadow = series ? inDouble(base, power) : L::select(zero, L::set(0.0f), L::set(1.0f));
        if (!inRange) return false;
        *shadeValue = L::mul(L::sub(L::set(1.0f), L::mul(L::set(row->shadeDepth), shadow)), L::set(row->backDim));
        return true;
    }
};
