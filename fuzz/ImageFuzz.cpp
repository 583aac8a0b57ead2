// nimbulo reads whatever image it is given: PNG (16-bit too), JPEG, TIFF, WebP,
// BMP and TGA, with the EXIF orientation, the colour profile, XMP and IPTC.
// Small pictures are written back too, in every format the build writes,
// metadata and all. Sizes are bounded before anything is decoded,
// so running out of memory is a finding, not noise.
#include <cstdint>
#include <string>
#include <vector>

#include "cli/ImageFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> input(data, data + size);
    // Half the PNGs with their checksums made right: most mutations would
    // otherwise end at the checksum test and never reach the decoder.
    if (size > 8 && data[0] == 0x89 && size % 2) repairPngChecksums(&input);
    Image image;
    std::string error;
    const int wantChannels = size % 3 == 0 ? 1 : 0;  // as an image, and as a mask
    if (decodeImage(input.data(), input.size(), "fuzz", wantChannels, 2048, &image, &error) != imageOk) return 0;
    if (image.pixels.size() != size_t(image.width) * image.height * image.channels * size_t(image.bytesPerSample))
        __builtin_trap();
    if (int64_t(image.width) * image.height > 16 * 16) return 0;
    std::vector<uint8_t> bytes;
    const Image narrow = eightBitCopy(image);
    for (ImageFormat format : {imagePng, imageJpeg, imageBmp, imageTiff, imageWebp}) {
        if (!canWriteFormat(format)) continue;
        EncodeOptions options;
        options.quality = 90;
        options.lossless = size % 2 == 0;
        options.tiffCompression = TiffCompression(size % 3);
        if (!encodeImage(formatHoldsSixteenBits(format) ? image : narrow, format, options, &bytes, &error))
            __builtin_trap();
        Image again;
        if (decodeImage(bytes.data(), bytes.size(), "again", 0, 2048, &again, &error) != imageOk) __builtin_trap();
    }
    return 0;
}
