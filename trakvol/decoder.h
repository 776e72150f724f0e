// Private: the decoder of raw GCR track dumps (G64, G71): the bit streams of a disk's
// tracks, read as the drive reads them into the sectors of the decoder's row.
#ifndef TRAKVOL_DECODER_H
#define TRAKVOL_DECODER_H

#include "format_row.h"

#include <cstdint>

// Decodes the dump in `file`, which starts with the decoder's signature, into a new
// handle that owns the decoded image (one heap block, released with free()). False
// when the file is too short for its header and tables (*out_disk untouched) or
// allocation fails (*out_disk null).
bool d64s_decode_gcr(const d64s_decoder& decoder, d64_disk** out_disk, const uint8_t* file,
                     uint64_t size);

#endif // TRAKVOL_DECODER_H
