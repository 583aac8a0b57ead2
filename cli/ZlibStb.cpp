// zlib streams (a PNG's colour profile chunk) through the stb headers' inflate
// and deflate, for the builds whose image codecs are the system's: only these
// two coders are compiled in (the headers' functions are static, and the
// unused ones, the image decoders among them, are left out of the program).
#include "cli/ImageMetadata.h"

#include <cstdlib>

// Every allocation of the inflate is held to a limit, so a stream that
// inflates far beyond any colour profile (a zlib bomb) is refused.
static size_t inflateLimit = size_t(64) << 20;

static void* limitedMalloc(size_t size) { return size > inflateLimit ? nullptr : std::malloc(size); }
static void* limitedRealloc(void* block, size_t size)
{
    return size > inflateLimit ? nullptr : std::realloc(block, size);
}

#define STBI_MALLOC(size) limitedMalloc(size)
#define STBI_REALLOC(block, size) limitedRealloc(block, size)
#define STBI_FREE(block) std::free(block)

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG  // the inflate comes with the PNG reader, which goes unused
#define STBI_NO_STDIO
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

bool zlibDecompress(const uint8_t* data, size_t size, std::vector<uint8_t>* out)
{
    if (size > size_t(1) << 30) return false;
    int length = 0;
    char* decoded = stbi_zlib_decode_malloc(reinterpret_cast<const char*>(data), int(size), &length);
    if (!decoded) return false;
    out->assign(decoded, decoded + length);
    STBI_FREE(decoded);
    return true;
}

bool zlibCompress(const std::vector<uint8_t>& data, std::vector<uint8_t>* out)
{
    int length = 0;
    std::vector<uint8_t> copy = data;  // the coder takes a writable buffer
    unsigned char* packed = stbi_zlib_compress(copy.data(), int(copy.size()), &length, 8);
    if (!packed) return false;
    out->assign(packed, packed + length);
    STBIW_FREE(packed);
    return true;
}
