#include "render/CloudReach.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>

#include "platform/Platform.h"
#include "render/EngineConstants.h"

// ---- The noise bound ----
//
// One octave: GradientNoise2D interpolates the four corner terms g . (dx, dy)
// with the weights (1-u)(1-v), u(1-v), (1-u)v and uv (u = fade(fx), v =
// fade(fy), both in [0, 1], so the weights are non-negative and add up to 1).
// Every gradient has components in {-1, 0, 1}, so a corner's term is at most
// |dx| + |dy| in size: fx + fy, (1-fx) + fy, fx + (1-fy), (1-fx) + (1-fy).
// The weighted sum of those splits into h(fx) + h(fy), h(t) = (1-u) t + u (1-t),
// whose largest value on [0, 1] is 1/2 (at t = 1/2). So |GradientNoise2D| <= 1,
// and a cell with the four gradients pointing away from its centre reaches it.
//
// The octaves: FractalNoise adds amplitude_k x noise for each whole octave k
// (amplitude_0 = 1, each the last times the gain, in float as the loop forms
// them) and amplitude_K x fraction x noise for the partial one. What remains
// after k whole octaves is therefore at most the sum of |amplitude_j| for
// j >= k plus |amplitude_K x fraction|. The float sums round by far less than
// the margins added here (1e-4 relative, 1e-4 absolute).
//
// The bound needs the cell fraction within [0, 1], which float arithmetic
// keeps only while the noise coordinates stay below 2^23 in size (beyond,
// x - 1 rounds and a fraction can reach 2). Each row checks the coordinates
// its octaves reach; a row that passes them is modelled in full.

// Blocks: the pixels of a row between two columns A and B are bounded by
// noise samples at A and B. The rows' noise x grows (or falls) with the
// column and every float step keeps that order, so at every octave a pixel's
// point lies on the segment between A's and B's, all on one line of the
// octave's frame (the row's y is the same for all). How far an octave can
// rise above the straight line between the segment's ends, at a fraction t
// of a segment of length h:
// - from the slope: |n(P) - n(A)| <= s t h and |n(P) - n(B)| <= s (1-t) h,
//   so n(P) - lerp(t, n(A), n(B)) <= 2 s t (1-t) h <= s h / 2, where s is
//   the slope along the segment, at most 4.75 sqrt 2;
// - from the bend: at most c t (1-t) h^2 / 2 <= c h^2 / 8, c the largest
//   second derivative along any line. The noise has two continuous
//   derivatives (the fade's first two vanish at the cell edges). In a cell
//   it is the sum over the corners of w (g . r), w the corner's weight (a
//   product of fades), r the offset from the corner, g its gradient; along a
//   unit direction e, one corner's second derivative is
//   g_x (r_x w_ee + 2 w_e e_x) + g_y (r_y w_ee + 2 w_e e_y), so with every
//   gradient's components in {-1, 0, 1} the noise's is at most the sum over
//   the corners of |r_x w_ee + 2 w_e e_x| + |r_y w_ee + 2 w_e e_y|, whatever
//   the gradients. That is largest at fx = fy = 0.325 along the diagonal:
//   12.559 (800 x 800 points of the cell by 720 directions, the same to four
//   places as 400 x 400 by 360); noiseCurvature leaves room around the grid.
// The lines through the sums are one line: the octaves' samples at A and B
// add up to lerp(t, sum at A, sum at B), at most the larger end, where
// each octave's rise stays below the smaller of the two. The pixel's point
// strays from the segment's point at t by the float roundings: its turned
// coordinates and the ends' (relative 2^-24 each), and each octave's step
// (x + shift) lacunarity rounded for all three points, growing by the
// lacunarity from octave to octave; the slope carries those to the noise.

namespace {

const double restMargin = 1e-4;

// Columns beyond any a row has: the edges of "reaches everywhere".
const int32_t farLeft = -(1 << 30), farRight = 1 << 30;

std::atomic<int> skipping{-1};  // -1: as the environment says, at every pass
std::atomic<bool> counting{false};
std::atomic<uint64_t> countedPixels{0}, countedModelled{0}, countedCutShort{0};

// The cell of an octave count, as FractalNoise takes it.
float wholePart(float v) { return float(v >= 0.0f ? int(v) : int(v - 1.0f)); }

// Coordinates the noise's cells stay exact for.
const double exactCells = 8388608.0;  // 2^23

// True when noise coordinates of at most |x| and |y| stay below 2^23 through
// every octave of `octaves` (the turned frames and the partial octave too).
bool coordinatesStayExact(double x, double y, float octaves)
{
    for (float i = 1.0f; i <= octaves + 1.0f; i += 1.0f) {
        if (octaveTurnCos * x + octaveTurnSin * y >= exactCells) return false;
        if (octaveTurnCos * y + octaveTurnSin * x >= exactCells) return false;
        if (x >= exactCells || y >= exactCells) return false;
        x = (x + std::fabs(octaveShiftX)) * octaveLacunarity;
        y = (y + std::fabs(octaveShiftY)) * octaveLacunarity;
    }
    return true;
}

// The octave whose test is the tightest, `best`, is the last worth sampling;
// the octaves from k to it can take the sum down by their amplitudes at
// most: floor[k] is the lowest any later test can reach, less the sum after k.
void settleBlocks(int best, const double* sampled, CloudRow::BlockBounds* b)
{
    b->octaves = best;
    double lowest = HUGE_VAL;
    for (int k = best; k >= 0; --k) {
        lowest = std::min(lowest, double(b->rest[k]) - sampled[k]);
        b->floor[k] = float(lowest + sampled[k]);
    }
}

// The bounds of blocks of up to `columns` columns of a bounded row whose
// noise x stays within farNoiseX.
void setupBlocks(CloudRow* row, double farNoiseX, int columns, CloudRow::BlockBounds* b)
{
    const double rounding = 0x1p-22;  // twice a float's rounding, relative, with room for the double steps
    const double columnStep = double(row->zoomRate) * row->zoom * row->inverseWidth * std::fabs(row->noiseScaleX);
    const double slopeAlong = noiseSlope * std::sqrt(2.0);
    double most = farNoiseX + 1.0;  // |x| of any pixel or sample at this octave, at most
    double height = std::fabs(double(row->fieldY) * row->noiseScaleY) + 1.0;
    // The ends' columns apart, with room for the float steps from column to noise x.
    b->width = float(columns * columnStep * 1.01 + most * 0x1p-20);
    double width = double(b->width) * (1.0 + 1e-6);  // the ends' x apart at this octave, at most
    double drift = 0.0;                              // how far a point's x may have strayed from the exact octave steps
    double head = 0.0, headAmplitudes = 0.0, sampled[maxWholeOctaves + 1];
    float amplitude = 1.0f;
    int best = 0;
    for (int k = 0;; ++k) {
        const double bound = (row->noiseRest[k] + head + restMargin * headAmplitudes) * (1.0 + 1e-6);
        b->rest[k] = float(bound);
        sampled[k] = headAmplitudes;
        if (b->rest[k] < b->rest[best]) best = k;
        if (k >= row->wholeOctaves) break;
        const double turnedX = octaveTurnCos * most + octaveTurnSin * height,
                     turnedY = octaveTurnSin * most + octaveTurnCos * height;
        const double length = width + rounding * (turnedX + turnedY);
        const double offX = octaveTurnCos * 2.0 * drift + rounding * turnedX,
                     offY = octaveTurnSin * 2.0 * drift + rounding * turnedY;
        const double rise = std::min(slopeAlong * length / 2.0, noiseCurvature * length * length / 8.0);
        head += std::fabs(double(amplitude)) * (rise + noiseSlope * (offX + offY) + 1e-5);
        headAmplitudes += std::fabs(double(amplitude));
        most = (most + std::fabs(octaveShiftX)) * octaveLacunarity * (1.0 + rounding);
        width = width * octaveLacunarity + rounding * most;
        drift = drift * octaveLacunarity + rounding * most;
        height = (height + std::fabs(octaveShiftY)) * octaveLacunarity * (1.0 + rounding);
        amplitude *= row->gain;
    }
    settleBlocks(best, sampled, b);
}

// Blocks of a seamless row: its octaves are not turned, and octave k's x is
// scaleX u + offsetX, u the column's fraction of the rectangle (exact
// reals: u as the pixels form it in float, the octave's factors as stored),
// so a pixel's exact point lies on the segment between its block ends'
// exact points at one fraction t for every octave, and the sums' lines are
// one line as on the plane. The periodic lattice has the plane's gradients
// and fade, hence its slope and curvature bounds along x; its index is
// only reduced for hashing, the noise is continuous. Each float point
// strays from its exact one by two roundings. For blocks of up to `columns`
// columns whose ends' u lie within farU.
void setupSeamlessBlocks(CloudRow* row, double farU, int columns, CloudRow::BlockBounds* b)
{
    const double rounding = 0x1p-22;  // twice a float's rounding, relative
    // The ends' u apart, with room for the float steps from column to u.
    b->width = float(double(columns) * row->zoomRate * row->inverseWidth * 1.01 + farU * 0x1p-20);
    const double width = double(b->width) * (1.0 + 1e-6);
    double head = 0.0, headAmplitudes = 0.0, sampled[maxWholeOctaves + 1];
    float amplitude = 1.0f;
    int best = 0;
    for (int k = 0;; ++k) {
        const double bound = (row->noiseRest[k] + head + restMargin * headAmplitudes) * (1.0 + 1e-6);
        b->rest[k] = float(bound);
        sampled[k] = headAmplitudes;
        if (b->rest[k] < b->rest[best]) best = k;
        if (k >= row->wholeOctaves) break;
        const CloudRow::SeamlessOctave& o = row->seamless[k];
        const double scale = std::fabs(double(o.scaleX));
        const double stray = rounding * (scale * farU + std::fabs(double(o.offsetX)) + 1.0);
        const double length = scale * width + 2.0 * stray;
        const double rise = std::min(noiseSlope * length / 2.0, noiseCurvature * length * length / 8.0);
        head += std::fabs(double(amplitude)) * (rise + 2.0 * noiseSlope * stray + 1e-5);
        headAmplitudes += std::fabs(double(amplitude));
        amplitude *= row->gain;
    }
    settleBlocks(best, sampled, b);
}

}  // namespace

bool clearSkySkipping()
{
    int decided = skipping.load(std::memory_order_relaxed);
    if (decided >= 0) return decided == 1;
    char text[8];
    return !(platformEnvironment("NIMBULO_CLEAR_SKY", text, sizeof text) && std::atoi(text) == 0);
}

void setClearSkySkipping(bool on) { skipping.store(on ? 1 : 0); }

void SetupClearSky(CloudRow* row)
{
    row->skipClear = false;
    row->wholeOctaves = 0;
    row->clearGlow = 0.0f * row->glowFactor;  // as the model forms it for a coverage of 0
    if (row->clearGlow > 1.0f) row->clearGlow = 1.0f;
    row->skipDimPuffs = false;
    row->leastTurn = 0.0f;
    if (!clearSkySkipping()) return;
    // The turn is lightTurn times a sine of at most 1 in size (to within the
    // kernel's 1e-16; 1e-6 is spare), and float rounding keeps its order. A
    // harshness below 0 or a factor that is not a number would break the
    // bound's order or the maximum's, so those light every puff.
    row->leastTurn = float(-std::fabs(lightTurn) * (1.0 + 1e-6));
    row->skipDimPuffs = row->harshness >= 0.0f && std::isfinite(row->harshness) && std::isfinite(row->mottling) &&
                        std::isfinite(row->lightX) && std::isfinite(row->lightY);
    if (!(std::fabs(row->octaves) < largestCell) || !(row->octaves <= float(maxWholeOctaves) + 1.0f)) return;

    // The amplitudes of the whole octaves as FractalNoise forms them.
    double amplitudes[maxWholeOctaves + 1];
    float amplitude = 1.0f;
    int whole = 0;
    for (float i = 1.0f; i <= row->octaves && whole < maxWholeOctaves; i += 1.0f) {
        amplitudes[whole++] = std::fabs(double(amplitude));
        amplitude *= row->gain;
    }
    double rest = std::fabs(double(amplitude * (row->octaves - wholePart(row->octaves))));
    for (int k = whole; k >= 0; --k) {
        if (k < whole) rest += amplitudes[k];
        row->noiseRest[k] = float(rest * (1.0 + restMargin) + restMargin);
    }
    row->wholeOctaves = whole;
    row->skipClear = std::isfinite(row->noiseRest[0]) && std::isfinite(row->lumpiness) && row->zoom > 0.0f &&
                     std::isfinite(row->zoom) && std::isfinite(row->clearGlow);
}

namespace {

// The largest distance from its centre at which puff p may still cover a
// pixel, margins for rounding included; 0 where it covers none, negative
// where it may cover every pixel whatever the distance.
double puffRadius(const CloudRow* row, int p)
{
    // The most n lu - 0.5 can be; a puff of strength 2g covers a pixel only
    // where (2d - 1) 2g is below it, so within d < (top / 2g + 1) / 2.
    const double top = double(row->noiseRest[0]) * std::fabs(double(row->lumpiness)) - double(lumpBias);
    const double strength = row->puffTwiceStrength[p];
    if (!(strength > 0.0)) return top < 0.0 ? 0.0 : -1.0;  // a puff without a ring covers all or nothing
    const double radius = (top / strength + 1.0) / 2.0 * (1.0 + restMargin) + restMargin;
    return radius > 0.0 ? radius : 0.0;
}

// The row's reach from intervals [begins[k], ends[k]) of columns, in any
// order and overlapping: ascending and merged.
void mergeReach(CloudRow* row, int64_t* begins, int64_t* ends, int count)
{
    for (int a = 1; a < count; ++a)
        for (int b = a; b > 0 && begins[b] < begins[b - 1]; --b) {
            std::swap(begins[b], begins[b - 1]);
            std::swap(ends[b], ends[b - 1]);
        }
    for (int k = 0; k < count; ++k) {
        if (row->reachCount > 0 && begins[k] <= row->reachEnd[row->reachCount - 1]) {
            row->reachEnd[row->reachCount - 1] =
                int32_t(std::max<int64_t>(ends[k], row->reachEnd[row->reachCount - 1]));
            continue;
        }
        row->reachBegin[row->reachCount] = int32_t(begins[k]);
        row->reachEnd[row->reachCount] = int32_t(ends[k]);
        ++row->reachCount;
    }
}

// Columns i from `first` to `last` (both taken) as a half-open interval
// within [farLeft, farRight); false when it holds none.
bool columnInterval(double first, double last, int64_t* begin, int64_t* end)
{
    if (!(first <= last)) return false;
    *begin = int64_t(std::max(first, double(farLeft)));
    *end = int64_t(std::min(last + 1.0, double(farRight)));
    return *begin < *end;
}

// The reach of a seamless row, whose puffs are measured from their nearest
// copy round the cylinder: the columns of one filter width from the pan on
// (and two either side) get each puff's copies that fall among them; the
// columns beyond are modelled throughout. False when some puff reaches
// every column, or the noise's cells may not be exact there (its bound needs
// them).
bool seamlessReach(CloudRow* row)
{
    const double width = 1.0 / double(row->inverseWidth), rate = row->zoomRate;
    const double lowColumn = -2.0, highColumn = std::ceil(width / rate) + 2.0;
    const double lowPx = (row->panColumn + lowColumn) * rate, highPx = (row->panColumn + highColumn) * rate;
    const double farU = std::max(std::fabs(lowPx), std::fabs(highPx)) / width + 1.0;
    // The octaves' coordinates (SeamlessNoise) stay where the cells are exact.
    for (int k = 0; k <= row->wholeOctaves && k <= maxWholeOctaves; ++k) {
        const CloudRow::SeamlessOctave& o = row->seamless[k];
        if (std::fabs(double(o.scaleX)) * farU + std::fabs(double(o.offsetX)) + 2.0 >= exactCells) return false;
        if (std::fabs(double(o.scaleY) * row->fieldV) + std::fabs(double(o.offsetY)) + 2.0 >= exactCells) return false;
    }
    // Blocks with both ends within farU have their noise's cells exact
    // (checked above) and bounds made for that reach, wherever the puffs are.
    if (row->seamlessBounded) {
        row->seamlessBlocksU = float(farU * (1.0 - 1e-6));
        for (int level = 0; level < 2; ++level)
            setupSeamlessBlocks(row, farU, 8 << (2 * level), &row->blockBounds[level]);
    }
    // How far a pixel's wrapped offset from a puff (in float, from its
    // column) may stray from the exact one, in rectangle pixels; the
    // columns' own margin is 2 either side.
    const double stray = (farU + std::fabs(double(row->centreU)) + 2.0) * width * 0x1p-20;
    const double half = 0.5 * double(row->circumference);
    int64_t begins[maxReaches], ends[maxReaches];
    int count = 0;
    for (int p = 0; p < row->puffCount && p < maxPuffs; ++p) {
        const double radius = puffRadius(row, p);
        if (radius < 0.0) return false;
        const double t = row->puffT[p], h2 = radius * radius - t * t;
        if (!(radius > 0.0) || !(h2 > 0.0)) continue;
        // |X + offset - m c| < h for some whole m, with X = (px / W - centreU) zoom,
        // c = zoom and px = (panColumn + i) zoomRate: copies W pixels apart.
        const double h = std::sqrt(h2);
        if (h * (1.0 + restMargin) + restMargin >= half) return false;
        const double centrePx = (-double(row->puffOffsetX[p]) / row->zoom + row->centreU) * width;
        const double reachPx = h / row->zoom * width + stray;
        const double firstCopy = std::floor((lowPx - centrePx - reachPx) / width) - 1.0;
        const double lastCopy = std::ceil((highPx - centrePx + reachPx) / width) + 1.0;
        for (double m = firstCopy; m <= lastCopy; m += 1.0) {
            const double centre = centrePx + m * width;
            const double first = std::max(std::floor((centre - reachPx) / rate) - row->panColumn - 2.0, lowColumn);
            const double last = std::min(std::ceil((centre + reachPx) / rate) - row->panColumn + 2.0, highColumn - 1.0);
            if (!(first <= last)) continue;
            if (count == maxReaches - 2) return false;  // room for the columns beyond
            if (columnInterval(first, last, &begins[count], &ends[count])) ++count;
        }
    }
    if (columnInterval(double(farLeft), lowColumn - 1.0, &begins[count], &ends[count])) ++count;
    if (columnInterval(highColumn, double(farRight), &begins[count], &ends[count])) ++count;
    mergeReach(row, begins, ends, count);
    return true;
}

}  // namespace

void SetupRowReach(CloudRow* row)
{
    row->reachCount = 0;
    row->bounded = false;
    row->seamlessBlocksU = 0.0f;
    if (row->belowHorizon) return;
    auto everywhere = [row] {
        row->reachCount = 1;
        row->reachBegin[0] = farLeft;
        row->reachEnd[0] = farRight;
    };
    if (!row->skipClear) return everywhere();
    if (row->wrap != 0) {
        if (!seamlessReach(row)) everywhere();
        return;
    }
    // The field positions of the pass's columns (at most the filter's width of
    // them, from the pan on) and of this row, in noise coordinates.
    const double width = 1.0 / double(row->inverseWidth);
    const double firstPx = double(row->panColumn) * row->zoomRate,
                 lastPx = (double(row->panColumn) + width) * row->zoomRate;
    const double farX = std::max(std::fabs((std::min(firstPx, 0.0) / width - row->centreU) * row->zoom),
                                 std::fabs((std::max(lastPx, width) / width - row->centreU) * row->zoom));
    if (!coordinatesStayExact(farX * std::fabs(row->noiseScaleX), std::fabs(row->fieldY * row->noiseScaleY),
                              row->octaves))
        return everywhere();
    row->bounded = true;
    // 8 columns at level 0, four times as many a level up: the widest the vector packs use.
    for (int level = 0; level < 2; ++level)
        setupBlocks(row, farX * std::fabs(row->noiseScaleX), 8 << (2 * level), &row->blockBounds[level]);

    int64_t begins[maxPuffs], ends[maxPuffs];
    int count = 0;
    for (int p = 0; p < row->puffCount && p < maxPuffs; ++p) {
        const double radius = puffRadius(row, p);
        if (radius < 0.0) return everywhere();
        const double t = row->puffT[p], h2 = radius * radius - t * t;
        if (!(radius > 0.0) || !(h2 > 0.0)) continue;
        // |X + offset| < h, with X = (px / W - centreU) zoom and px = (panColumn + i) zoomRate.
        const double h = std::sqrt(h2), offset = row->puffOffsetX[p];
        const double lowX = -offset - h, highX = -offset + h;
        const double lowPx = (lowX / row->zoom + row->centreU) * width,
                     highPx = (highX / row->zoom + row->centreU) * width;
        const double first = std::floor(lowPx / row->zoomRate) - row->panColumn - 2.0;
        const double last = std::ceil(highPx / row->zoomRate) - row->panColumn + 2.0;
        if (columnInterval(first, last, &begins[count], &ends[count])) ++count;
    }
    mergeReach(row, begins, ends, count);
}

float coveringNoise(const CloudRow* row, const float* distances)
{
    // n lu + 0.5 - ((2d - 1) 2g + 1) > 0  <=>  n > ((2d - 1) 2g + 0.5) / lu, for lu > 0.
    float least = HUGE_VALF;
    for (int p = 0; p < row->puffCount; ++p) {
        float needed = ((2.0f * distances[p] - 1.0f) * row->puffTwiceStrength[p] + 1.0f - lumpBias) / row->lumpiness;
        least = needed < least ? needed : least;
    }
    return least - coveringMargin(row, least);
}

void countCloudWork(bool on)
{
    countedPixels = countedModelled = countedCutShort = 0;
    counting.store(on);
}

bool countingCloudWork() { return counting.load(std::memory_order_relaxed); }

void addCloudWork(uint64_t pixels, uint64_t modelled, uint64_t cutShort)
{
    countedPixels += pixels;
    countedModelled += modelled;
    countedCutShort += cutShort;
}

CloudWork cloudWorkCounted() { return CloudWork{countedPixels.load(), countedModelled.load(), countedCutShort.load()}; }
