// Grey pictures as one-component baseline JPEGs.
#pragma once

#include <cstdint>
#include <vector>

// Encodes width x height grey bytes, `step` bytes apart (2 skips an alpha
// byte), at `quality` 1 to 100. False for sizes a JPEG cannot hold.
bool encodeGreyJpeg(int width, int height, const uint8_t* pixels, int step, int quality, std::vector<uint8_t>* out);
