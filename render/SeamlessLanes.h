// The seamless cloud model (Seamless.h) for a pack of neighbouring pixels of
// one row: the same operations in the same order and precision as
// ShadeSeamlessPixel, lane by lane, on top of the plane's packs
// (CloudLanes.h). Included only by the files that build a path.
#pragma once

#include <cmath>

#include "render/CloudLanes.h"

template <class L> struct SeamlessLanes {
    typedef CloudLanes<L> C;
    typedef typename L::F F;
    typedef typename L::I I;
    typedef typename C::H H;
    typedef typename C::DD DD;
    enum { count = L::count };

    // Below this, float coordinates keep whole cells exact and a quotient
    // fits the integer conversions.
    static constexpr float exactRange = 4194304.0f;  // 2^22

    static bool allLanes(F mask) { return L::bits(mask) == L::allBits(); }

    // std::nearbyint of each lane (|q| < 2^22), the sign of a zero kept.
    static F nearbyint(F q)
    {
        const F sign = L::asFloat(L::iset(int32_t(0x80000000u)));
        F whole = L::toFloat(L::roundNearest(q));
        return L::asFloat(L::ior(L::asInt(whole), L::asInt(L::both(q, sign))));
    }

    // The sine of a wrapped offset x on a circumference c, as sineOffset
    // gives it: c / 2 pi sin(2 pi x / c), in double.
    static F sineOffset(F x, float c)
    {
        const double fullTurn = 6.283185307179586, scale = c / fullTurn, around = c;
        return C::inDouble(x, [&](DD d) {
            return H::dmul(H::dset(scale), C::sine(H::ddiv(H::dmul(H::dset(fullTurn), d), H::dset(around))));
        });
    }

    // A cell index brought into 0 .. period - 1 (a period of 0 leaves it),
    // as cellInPeriod; the lanes beyond two periods one by one.
    static I cellInPeriod(I cell, int32_t period)
    {
        if (period <= 0) return cell;
        const I P = L::iset(period), zero = L::iset(0);
        const I below = L::ilt(cell, zero), beyond = L::ilt(cell, L::iset(period > 1073741823 ? 0 : 2 * period));
        if (L::bits(L::asFloat(below)) == 0 && L::bits(L::asFloat(beyond)) == L::allBits())
            return L::isub(cell, L::iand(P, L::iselect(L::ilt(cell, P), zero, L::iset(-1))));
        int32_t lanes[count];
        L::istore(lanes, cell);
        for (int k = 0; k < count; ++k) {
            const int32_t r = lanes[k] % period;
            lanes[k] = r < 0 ? r + period : r;
        }
        return L::iload(lanes);
    }

    // PeriodicNoise2D at x in each lane and the row's y (|x|, |y| < 2^22).
    static F periodicNoise(const CloudTables* t, F x, float y, int32_t periodX, int32_t periodY)
    {
        const int yi = y >= 0.0f ? int(y) : int(y - 1.0f);
        const int Y0 = cellInPeriodOf(yi, periodY) & 255, Y1 = cellInPeriodOf(yi + 1, periodY) & 255;
        const int Yc = (Y1 - 1) & 255;
        const I byte = L::iset(255), one = L::iset(1);
        const I xi = C::cellOf(x);
        const I r0 = cellInPeriod(xi, periodX);
        // The next cell, into the period: 0 after its last.
        I r1 = L::iadd(r0, one);
        if (periodX > 0) r1 = L::iselect(L::ieq(r1, L::iset(periodX)), L::iset(0), r1);
        const I X0 = L::iand(r0, byte), X1 = L::iand(r1, byte);
        // The cells whose corners (1, 0), (0, 1) and (1, 1) are this cell's
        // other corners: the cell itself but where the period wraps.
        const I Xb = L::iand(L::isub(X1, one), byte);
        const I hA = L::gather16(t->CornerHashes, L::ior(L::template shiftLeft<8>(X0), L::iset(Y0)));
        const bool xWraps = L::bits(L::asFloat(L::ieq(Xb, X0))) != L::allBits();
        const I hB = xWraps ? L::gather16(t->CornerHashes, L::ior(L::template shiftLeft<8>(Xb), L::iset(Y0))) : hA;
        I hC = hA, hD = hB;
        if (Yc != Y0) {
            hC = L::gather16(t->CornerHashes, L::ior(L::template shiftLeft<8>(X0), L::iset(Yc)));
            hD = L::gather16(t->CornerHashes, L::ior(L::template shiftLeft<8>(Xb), L::iset(Yc)));
        }
        const I h = L::ior(L::ior(L::iand(hA, L::iset(0x000F)), L::iand(hB, L::iset(0x00F0))),
                           L::ior(L::iand(hC, L::iset(0x0F00)), L::iand(hD, L::iset(0xF000))));

        const F fx = L::sub(x, L::toFloat(xi)), fy = L::set(y - float(yi));
        const F u = C::fade(fx), v = C::fade(fy);
        const F unit = L::set(1.0f);
        const F fx1 = L::sub(fx, unit), fy1 = L::sub(fy, unit);
        const I nibble = L::iset(15);
        const F tx = L::hasLookup8 ? L::load(ClassGradientX) : unit,
                ty = L::hasLookup8 ? L::load(ClassGradientY) : unit;
        const F g00 = C::gradient(L::iand(h, nibble), fx, fy, tx, ty);
        const F g10 = C::gradient(L::iand(L::template shiftRight<4>(h), nibble), fx1, fy, tx, ty);
        const F g01 = C::gradient(L::iand(L::template shiftRight<8>(h), nibble), fx, fy1, tx, ty);
        const F g11 = C::gradient(L::template shiftRight<12>(h), fx1, fy1, tx, ty);
        return C::lerp(v, C::lerp(u, g00, g10), C::lerp(u, g01, g11));
    }

    static int cellInPeriodOf(int cell, int32_t period)
    {
        if (period <= 0) return cell;
        int r = cell % period;
        return r < 0 ? r + period : r;
    }

    // One octave's sample, or false when a coordinate leaves the exact range.
    static bool octave(const CloudTables* t, const CloudRow::SeamlessOctave& o, F u, float v, F* n)
    {
        const F x = L::add(L::mul(L::set(o.scaleX), u), L::set(o.offsetX));
        const float y = o.scaleY * v + o.offsetY;
        if (!(std::fabs(y) < exactRange) || !allLanes(L::lt(L::abs(x), L::set(exactRange)))) return false;
        *n = periodicNoise(t, x, y, o.periodX, o.periodY);
        return true;
    }

    // SeamlessNoise for a pack: the lanes the scalar model stops early (their
    // sum can no longer exceed their ceiling) are marked in *stopped, and it
    // ends once all are. False when some coordinate leaves the exact range.
    static bool noise(const CloudRow* row, const CloudTables* t, F u, bool bounded, F ceiling, F* stopped, F* sum)
    {
        const float v = row->fieldV;
        float amplitude = 1.0f;
        int k = 0;
        *sum = L::set(0.0f);
        *stopped = L::lt(*sum, *sum);
        auto allStopped = [&] {
            if (bounded && k <= row->wholeOctaves)
                *stopped = L::select(*stopped, *stopped, L::le(L::add(*sum, L::set(row->noiseRest[k])), ceiling));
            return allLanes(*stopped);
        };
        F n;
        for (float i = 1.0f; i <= row->octaves && k < maxWholeOctaves; i += 1.0f, ++k) {
            if (allStopped()) return true;
            if (!octave(t, row->seamless[k], u, v, &n)) return false;
            *sum = L::add(*sum, L::mul(L::set(amplitude), n));
            amplitude *= row->gain;
        }
        if (allStopped() || !(std::fabs(row->octaves) < 1.0e6f)) return true;
        const float fraction = row->octaves - std::floor(row->octaves);
        if (fraction == 0.0f) return true;
        if (!octave(t, row->seamless[k], u, v, &n)) return false;
        *sum = L::add(*sum, L::mul(L::set(amplitude * fraction), n));
        return true;
    }

    // The largest lit fraction of all puffs in the lanes `shown` (a mask and
    // its bits; others are left anything); false when a turn leaves the
    // sine's range. The scalar model lights every puff; where the bound of
    // LitOfTurn holds (skipDimPuffs), a puff that cannot beat the brightest
    // so far in any shown lane is passed over, which leaves the largest as
    // it is: first the puff that may be the brightest in the first shown
    // lane, then the rest that may still outshine it. The bound needs no
    // sine: a sine offset lies between 0 and the wrapped offset x (|sin t| <=
    // |t|, of t's sign; a rounding of some 1e-16 of the circumference where
    // t is a half turn, far within the 2^-20 of x allowed here), and LitOfTurn
    // at the least turn is monotonic in the offset (every float step keeps
    // the order), so the larger of its values at the range's ends bounds it.
    static bool lightBrightest(const CloudRow* row, const CloudTables* t, const F* across, F noise, F shownMask,
                               int shown, F* mostLit)
    {
        const int puffs = row->puffCount < maxPuffs ? row->puffCount : maxPuffs;
        F most[maxPuffs], lit;
        *mostLit = L::set(0.0f);
        int first = 0;
        if (row->skipDimPuffs) {
            const int lane = __builtin_ctz(unsigned(shown));
            const F zero = L::set(0.0f), least = L::set(row->leastTurn), room = L::set(0x1p-20f);
            float firstMost = -1.0f, lanes[count];
            for (int p = 0; p < puffs; ++p) {
                const F spare = L::mul(L::abs(across[p]), room);
                const F low = L::sub(L::min(zero, across[p]), spare), high = L::add(L::max(zero, across[p]), spare);
                most[p] = L::max(C::litOfTurn(row, p, low, noise, least), C::litOfTurn(row, p, high, noise, least));
                L::store(lanes, most[p]);
                if (lanes[lane] > firstMost) {
                    firstMost = lanes[lane];
                    first = p;
                }
            }
        }
        for (int k = 0; k < puffs; ++k) {
            const int p = k == 0 ? first : (k == first ? 0 : k);
            if (row->skipDimPuffs && k > 0 && !L::bits(L::both(shownMask, L::gt(most[p], *mostLit)))) continue;
            const F a = sineOffset(across[p], row->circumference);
            if (!C::puffLightAt(row, t, p, a, row->puffNormalT[p], noise, &lit)) return false;
            *mostLit = L::max(lit, *mostLit);
        }
        return true;
    }

    // The noise a pixel needs, at the least, for some puff to cover it, for
    // every pixel whose field position lies between lowX and highX: the
    // plane's rangeCeiling with each puff measured from its nearest copy.
    // The wrapped offset moves no faster than the position, so over the
    // range it is at least the middle's less half the range, less what the
    // float steps of the pixels and of the middle may have strayed.
    static F rangeCeiling(const CloudRow* row, F lowX, F highX)
    {
        const F zero = L::set(0.0f), one = L::set(1.0f), c = L::set(row->circumference);
        const F low = L::set(1.0f - 1.0f / 1024.0f), nearest = L::set(1e-30f), half = L::set(0.5f);
        const F middle = L::mul(L::add(lowX, highX), half), reach = L::mul(L::sub(highX, lowX), half);
        F ring = L::set(HUGE_VALF);
        for (int p = 0; p < row->puffCount && p < maxPuffs; ++p) {
            const F offset = L::set(row->puffOffsetX[p]);
            const F x = L::add(middle, offset);
            const F q = L::div(x, c);
            if (!allLanes(L::lt(L::abs(q), L::set(exactRange)))) return L::set(-HUGE_VALF);
            const F across = L::abs(L::sub(x, L::mul(c, nearbyint(q))));
            const F stray = L::mul(L::add(L::add(L::abs(x), c), L::add(L::abs(lowX), L::abs(highX))), L::set(0x1p-18f));
            const F a = L::max(zero, L::sub(L::sub(across, reach), stray));
            const float tp = row->puffT[p];
            const F d2 = L::max(L::add(L::set(tp * tp), L::mul(a, a)), nearest);
            const F d = L::mul(L::mul(d2, L::rsqrtEstimate(d2)), low);
            ring = L::min(ring, L::mul(L::sub(L::mul(L::set(2.0f), d), one), L::set(row->puffTwiceStrength[p])));
        }
        return C::ceilingOfRing(row, ring);
    }

    // Which of the count - 1 blocks of `count` columns from i0 (4 count at
    // level 1) no puff can cover: bit k, as CloudLanes::clearBlocks finds
    // them on the plane, with the seamless octaves and the blocks' bounds
    // made for them (SetupRowReach). A block it cannot vouch for has its bit clear.
    static int clearBlocks(const CloudRow* row, const CloudTables* t, int32_t i0, int level)
    {
        const CloudRow::BlockBounds& bounds = row->blockBounds[level];
        const int columns = count << (2 * level);
        int32_t firsts[count], lasts[count];
        for (int k = 0; k < count; ++k) {
            firsts[k] = (row->panColumn + i0 + k * columns) * row->zoomRate;
            lasts[k] = (row->panColumn + i0 + k * columns + columns - 1) * row->zoomRate;
        }
        const F u = L::mul(L::toFloat(L::iload(firsts)), L::set(row->inverseWidth));
        const F lastU = L::mul(L::toFloat(L::iload(lasts)), L::set(row->inverseWidth));
        // The bounds hold for ends within seamlessBlocksU, at most their width apart.
        const F within = L::set(row->seamlessBlocksU);
        if (!allLanes(L::both(L::lt(L::abs(u), within), L::lt(L::abs(lastU), within)))) return 0;
        const int blocks = L::allBits() >> 1;
        if ((L::bits(L::le(L::abs(L::sub(L::nextLane(u), u)), L::set(bounds.width))) & blocks) != blocks) return 0;

        const F centre = L::set(row->centreU), zoom = L::set(row->zoom);
        const F ceiling = rangeCeiling(row, L::mul(L::sub(u, centre), zoom), L::mul(L::sub(lastU, centre), zoom));
        F sum = L::set(0.0f), n;
        float amplitude = 1.0f;
        int clear = 0;
        for (int k = 0;; ++k) {
            const F top = L::max(sum, L::nextLane(sum));
            clear |= L::bits(L::le(L::add(top, L::set(bounds.rest[k])), ceiling)) & blocks;
            const int settled = clear | L::bits(L::gt(L::add(top, L::set(bounds.floor[k])), ceiling)) | ~blocks;
            if ((settled & L::allBits()) == L::allBits() || k >= bounds.octaves) return clear;
            if (!octave(t, row->seamless[k], u, row->fieldV, &n)) return clear;
            sum = L::add(sum, L::mul(L::set(amplitude), n));
            amplitude *= row->gain;
        }
    }

    // Pixels i0 .. i0 + count - 1 of the seamless row set up last; false
    // (nothing written) when some lane leaves the ranges these forms cover.
    static bool shade(const CloudRow* row, const CloudTables* t, int32_t i0, CloudPixel* out, uint32_t* cutShort)
    {
        if (row->belowHorizon) return false;
        int32_t columns[count];
        for (int k = 0; k < count; ++k) columns[k] = (row->panColumn + i0 + k) * row->zoomRate;
        const F u = L::mul(L::toFloat(L::iload(columns)), L::set(row->inverseWidth));
        const F X = L::mul(L::sub(u, L::set(row->centreU)), L::set(row->zoom));
        const F c = L::set(row->circumference), one = L::set(1.0f);
        const int puffs = row->puffCount < maxPuffs ? row->puffCount : maxPuffs;

        // Each puff measured from its nearest copy round the cylinder.
        F across[maxPuffs], distances[maxPuffs];
        for (int p = 0; p < puffs; ++p) {
            const F x = L::add(X, L::set(row->puffOffsetX[p]));
            const F q = L::div(x, c);
            if (!allLanes(L::lt(L::abs(q), L::set(exactRange)))) return false;
            across[p] = L::sub(x, L::mul(c, nearbyint(q)));
            const float tp = row->puffT[p];
            distances[p] = L::sqrt(L::add(L::set(tp * tp), L::mul(across[p], across[p])));
        }
        // coveringNoise, lane by lane.
        F ceiling = L::set(0.0f);
        if (row->seamlessBounded) {
            F least = L::set(HUGE_VALF);
            for (int p = 0; p < puffs; ++p) {
                const F ring =
                    L::mul(L::sub(L::mul(L::set(2.0f), distances[p]), one), L::set(row->puffTwiceStrength[p]));
                const F needed = L::div(L::sub(L::add(ring, one), L::set(lumpBias)), L::set(row->lumpiness));
                least = L::min(needed, least);
            }
            const F margin = L::add(L::mul(L::set(1e-4f), L::add(one, L::abs(least))), L::set(1e-5f / row->lumpiness));
            ceiling = L::sub(least, margin);
        }
        F stopped, noiseValue;
        if (!noise(row, t, u, row->seamlessBounded, ceiling, &stopped, &noiseValue)) return false;
        const int stoppedBits = L::bits(stopped);
        if (stoppedBits == L::allBits()) {
            for (int k = 0; k < count; ++k) out[k] = clearPixel(row);
            *cutShort += count;
            return true;
        }

        F coverage = L::set(0.0f);
        const F spread = L::add(L::mul(noiseValue, L::set(row->lumpiness)), L::set(lumpBias));
        for (int p = 0; p < puffs; ++p) {
            F ring =
                L::add(L::mul(L::sub(L::mul(L::set(2.0f), distances[p]), one), L::set(row->puffTwiceStrength[p])), one);
            F w = C::clampUnit(L::sub(spread, ring));
            F open = L::sub(one, w);
            F open2 = L::mul(open, open);
            coverage = L::max(L::sub(one, L::mul(L::mul(open2, open2), open)), coverage);
        }
        float opacity[count], glow[count], red[count], green[count], blue[count];
        const F edge = L::mul(L::mul(L::set(edgeGlowPeak), coverage), L::sub(one, coverage));
        L::store(opacity, coverage);
        L::store(glow, C::clampUnit(L::mul(edge, L::set(row->glowFactor))));

        // Only lanes not stopped whose opacity reaches one level are lit.
        const F shownMask = L::select(stopped, L::lt(one, one), L::ge(L::mul(coverage, L::set(opacityLevels)), one));
        const int shown = L::bits(shownMask);
        if (shown) {
            F mostLit;
            if (!lightBrightest(row, t, across, noiseValue, shownMask, shown, &mostLit)) return false;
            F shadeValue;
            if (!C::shadeOfLight(row, mostLit, &shadeValue)) return false;
            TintLanes<L>::tint(row, L::select(L::lt(shadeValue, L::set(0.0f)), L::set(0.0f), shadeValue), red, green,
                               blue);
        }
        for (int k = 0; k < count; ++k) {
            if (stoppedBits >> k & 1) {
                out[k] = clearPixel(row);
                ++*cutShort;
                continue;
            }
            out[k] = shown >> k & 1 ? CloudPixel{red[k], green[k], blue[k], opacity[k], glow[k]}
                                    : CloudPixel{0.0f, 0.0f, 0.0f, opacity[k], glow[k]};
        }
        return true;
    }
};
