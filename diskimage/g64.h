// Private: the decoder of G64 files, raw GCR bit streams of a 1541 disk's tracks.
#ifndef TRAKVOL_G64_H
#define TRAKVOL_G64_H

#include "trakvol.h"

#include <cstdint>

// True when `file` starts with the G64 signature.
bool d64s_has_g64_signature(const uint8_t* file, uint64_t size);

// Decodes the G64 in `file` into a new handle that owns the decoded image (one heap
// block, released with free()). False when the file is too short for its header and
// tables (*out_disk untouched) or allocation fails (*out_disk null).
bool d64s_open_g64(d64_disk** out_disk, const uint8_t* file, uint64_t size);

#endif // TRAKVOL_G64_H
