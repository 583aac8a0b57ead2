// Presets files (*.k00), also used for the cache and undo files: 32-bit
// big-endian words, the version first, an optional 64 x 64 thumbnail.
#pragma once

#include <cstddef>
#include <cstdint>

struct FilterContext;
struct CloudSettings;

enum { presetVersion = 188, presetFileCannotOpen = 99, presetFileRead = 1 };
enum { presetBytesWithoutThumbnail = 284, presetBytesWithThumbnail = 12580 };

enum PresetReadMode {
    presetReadNormal,   // into the settings (and the thumbnail)
    presetReadPreview,  // only the thumbnail; the settings stay as they are
};

// Writes the current settings, with the thumbnail when its buffer exists.
// A file that cannot be written is silently not written.
void writePresetFile(FilterContext* ctx, const char* path);

// The same for a user's presets file: written beside `path` first and put in
// its place only when every byte was written, so an existing file is never
// left half written. False, with `path` untouched, when it could not be saved.
bool savePresetFile(FilterContext* ctx, const char* path);

// Reads a presets file of any version. Returns presetFileCannotOpen when the
// file cannot be opened, else presetFileRead. `pictureRead` tells whether a
// thumbnail went into the thumbnail buffer. Values past the end of a short
// file are not read: their fields keep what they held.
int readPresetFile(FilterContext* ctx, const char* path, PresetReadMode mode, bool* pictureRead);

// The Load button's read: the plain defaults, then the file. A file that
// cannot be opened or holds nothing changes nothing and gives false.
bool loadPresetFile(FilterContext* ctx, const char* path);

// The same on bytes in memory, into `settings` and `thumbnail` (either may be
// null): the core of the reader, used by the file functions above.
void decodePreset(const uint8_t* bytes, size_t size, CloudSettings* settings, uint8_t* thumbnail, bool* pictureRead);

// The file's bytes for `settings` (and `thumbnail` when not null) into `out`,
// which must hold presetBytesWithThumbnail bytes. Returns the length.
size_t encodePreset(const CloudSettings* settings, const uint8_t* thumbnail, uint8_t* out);

// How the file keeps its floats. The light and the dormant vector after it
// are whole hundredths: written rounded to the nearest (halves away from
// zero), so that a value read from a file is written back unchanged. The
// pattern's origin is in 1/65536ths, written truncated (exact for a value read).
int32_t hundredthsWord(float f);
int32_t originWord(float f);
float fromHundredths(int32_t word);
float fromOriginWord(int32_t word);

// Brings `s` to what a presets file keeps of it: the six x100 floats to the
// nearest hundredth, the origin to 1/65536. A file written afterwards reads
// back exactly these values, so settings that leave an editing session (OK,
// Save) are made this way first and render the same from the file.
void bringToFilePrecision(CloudSettings* s);
