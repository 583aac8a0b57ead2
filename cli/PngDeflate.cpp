// PNG's image data made on every processor: the rows are cut into slices,
// each filtered and deflated on its own, primed with the 32 KiB of filtered
// rows before it and ended with a sync flush, so that the slices join into
// the one zlib stream the format wants (their checksums combined). A slice
// compresses as well as it would in a single stream, and the picture is
// written in the time its render takes.
#include "cli/PngDeflate.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

const size_t window = 32768;                // deflate's reach back
const size_t sliceBytes = size_t(1) << 20;  // filtered bytes a slice

// Row y as the file keeps it: 16-bit samples most significant byte first.
void fileRow(const Image& image, int y, size_t rowBytes, uint8_t* out)
{
    const uint8_t* row = image.pixels.data() + size_t(y) * rowBytes;
    if (image.bytesPerSample == 1) {
        std::memcpy(out, row, rowBytes);
        return;
    }
    for (size_t k = 0; k < rowBytes; k += 2) {
        out[k] = row[k + 1];
        out[k + 1] = row[k];
    }
}

uint8_t paeth(int a, int b, int c)
{
    int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return uint8_t(pa <= pb && pa <= pc ? a : (pb <= pc ? b : c));
}

// The differences of one filter, in `trial` after its filter byte; their
// size read as signed bytes.
template <int filter>
uint64_t tryFilter(const uint8_t* row, const uint8_t* above, size_t n, size_t step, uint8_t* trial)
{
    uint64_t sum = 0;
    trial[0] = uint8_t(filter);
    for (size_t k = 0; k < n; ++k) {
        const int a = k >= step ? row[k - step] : 0, b = above[k];
        int predicted = 0;
        if (filter == 1) predicted = a;
        if (filter == 2) predicted = b;
        if (filter == 3) predicted = (a + b) / 2;
        if (filter == 4) predicted = paeth(a, b, k >= step ? above[k - step] : 0);
        const uint8_t d = uint8_t(row[k] - predicted);
        trial[k + 1] = d;
        sum += d < 128 ? d : 256 - d;
    }
    return sum;
}

// Filters `row` (with the row above, zeros for the first) into `out`: its
// filter byte, then the differences. Of the five filters, the one whose
// differences are smallest, read as signed bytes (what libpng chooses).
void filterRow(const uint8_t* row, const uint8_t* above, size_t n, size_t step, uint8_t* out, uint8_t* trial)
{
    uint64_t (*const filters[5])(const uint8_t*, const uint8_t*, size_t, size_t, uint8_t*) = {
        tryFilter<0>, tryFilter<1>, tryFilter<2>, tryFilter<3>, tryFilter<4>};
    uint64_t best = ~uint64_t(0);
    for (auto filter : filters) {
        const uint64_t sum = filter(row, above, n, step, trial);
        if (sum < best) {
            best = sum;
            std::memcpy(out, trial, n + 1);
        }
    }
}

struct Slice {
    int first = 0, end = 0;
    std::vector<uint8_t> packed;
    uLong adler = 1;
    size_t length = 0;
    bool ok = false;
};

// Rows first to end filtered and deflated, primed with the filtered rows before them.
void packSlice(const Image& image, int level, bool last, Slice* s)
{
    const size_t step = size_t(image.channels) * size_t(image.bytesPerSample);
    const size_t n = size_t(image.width) * step;
    std::vector<uint8_t> above(n, 0), row(n), filtered(n + 1), trial(n + 1), primer;
    const int primerRows = int(std::min<size_t>(size_t(s->first), window / (n + 1) + 1));
    int y = s->first - primerRows;
    if (y > 0) fileRow(image, y - 1, n, above.data());
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return;
    std::vector<uint8_t> out(1 << 16);
    auto pass = [&](const uint8_t* data, size_t size, int flush) {
        z.next_in = const_cast<Bytef*>(data);
        z.avail_in = uInt(size);
        do {
            z.next_out = out.data();
            z.avail_out = uInt(out.size());
            if (deflate(&z, flush) == Z_STREAM_ERROR) return false;
            s->packed.insert(s->packed.end(), out.data(), out.data() + (out.size() - z.avail_out));
        } while (z.avail_out == 0);
        return true;
    };
    bool ok = true;
    for (; y < s->end && ok; ++y) {
        fileRow(image, y, n, row.data());
        filterRow(row.data(), above.data(), n, step, filtered.data(), trial.data());
        above.swap(row);
        if (y < s->first) {
            primer.insert(primer.end(), filtered.begin(), filtered.end());
            if (y + 1 == s->first) {
                const size_t keep = std::min(primer.size(), window);
                ok = deflateSetDictionary(&z, primer.data() + primer.size() - keep, uInt(keep)) == Z_OK;
            }
            continue;
        }
        s->adler = adler32(s->adler, filtered.data(), uInt(n + 1));
        s->length += n + 1;
        ok = pass(filtered.data(), n + 1, Z_NO_FLUSH);
    }
    ok = ok && pass(nullptr, 0, last ? Z_FINISH : Z_SYNC_FLUSH);
    deflateEnd(&z);
    s->ok = ok;
}

}  // namespace

bool packPngRows(const Image& image, int level, const std::function<bool(const uint8_t*, size_t)>& emit)
{
    const size_t rowBytes = size_t(image.width) * size_t(image.channels) * size_t(image.bytesPerSample) + 1;
    const int rowsEach = int(std::max<size_t>(1, sliceBytes / rowBytes));
    const int workers = int(std::max(1u, std::min(16u, std::thread::hardware_concurrency())));
    // The zlib header: deflate with a 32 KiB window, the default level's mark.
    const uint8_t header[2] = {0x78, 0x9C};
    uLong adler = adler32(0, nullptr, 0);
    bool first = true;
    for (int y = 0; y < image.height;) {
        // A round: one slice for each processor, then their bytes in order.
        std::vector<Slice> slices;
        for (int k = 0; k < workers && y < image.height; ++k, y += rowsEach) {
            slices.emplace_back();
            slices.back().first = y;
            slices.back().end = std::min(image.height, y + rowsEach);
        }
        std::vector<std::thread> threads;
        for (size_t k = 1; k < slices.size(); ++k)
            threads.emplace_back(packSlice, std::cref(image), level, slices[k].end == image.height, &slices[k]);
        packSlice(image, level, slices[0].end == image.height, &slices[0]);
        for (std::thread& t : threads) t.join();
        for (Slice& s : slices) {
            if (!s.ok) return false;
            adler = adler32_combine(adler, s.adler, z_off_t(s.length));
            if (first) s.packed.insert(s.packed.begin(), header, header + 2);
            first = false;
            if (s.end == image.height)
                s.packed.insert(s.packed.end(),
                                {uint8_t(adler >> 24), uint8_t(adler >> 16), uint8_t(adler >> 8), uint8_t(adler)});
            if (!emit(s.packed.data(), s.packed.size())) return false;
        }
    }
    return true;
}
