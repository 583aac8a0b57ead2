// nimbulo reads whatever image it is given: PNG, JPEG, BMP and TGA, with
// the EXIF orientation and the colour profile. Small pictures are written
// back too, profile and all. Sizes are bounded before anything is decoded,
// so running out of memory is a finding, not noise.
#include <cstdint>
#include <string>
#include <vector>

#include "cli/ImageFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Image image;
    std::string error;
    const int wantChannels = size % 3 == 0 ? 1 : 0;  // as an image, and as a mask
    if (decodeImage(data, size, "fuzz", wantChannels, 2048, &image, &error) != imageOk) return 0;
    if (image.pixels.size() != size_t(image.width) * image.height * image.channels) __builtin_trap();
    if (int64_t(image.width) * image.height > 16 * 16) return 0;
    std::vector<uint8_t> bytes;
    for (ImageFormat format : {imagePng, imageJpeg, imageBmp}) {
        encodeImage(image, format, 90, &bytes, &error);
        Image again;
        if (decodeImage(bytes.data(), bytes.size(), "again", 0, 2048, &again, &error) != imageOk) __builtin_trap();
    }
    return 0;
}
