// A PNG's image data (its rows filtered, in one zlib stream) made on every
// processor, handed over in order, piece by piece, for the IDAT chunks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "cli/ImageFile.h"

// Calls `emit` with the stream's pieces in order (about a MiB each); false
// when the compressor or `emit` fails.
bool packPngRows(const Image& image, int level, const std::function<bool(const uint8_t*, size_t)>& emit);
