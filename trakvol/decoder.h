// Private: the decoders of raw track dumps (G64 and G71, NIB and NB2): a front end
// per kind of file finds each whole track's bytes; one GCR decoder reads them as the
// drive reads its tracks, into the sectors and error codes of the decoder's row.
#ifndef TRAKVOL_DECODER_H
#define TRAKVOL_DECODER_H

#include "format_row.h"

#include <cstdint>

// The most copies of one track a dump offers to choose from: an NB2's four passes at
// the track's density.
inline constexpr int32_t k_most_passes = 4;

// What a front end found in a dump: for each whole track, the bytes of each copy the
// drive delivered, and the facts of the file the decode reports.
struct d64s_dump_tracks {
    // A G64 holds each track as a circle (a block may run over its end into its
    // start); a NIB holds what the drive read from some point on, a line.
    bool linear = false;
    struct whole_track {
        const uint8_t* data[k_most_passes] = {};
        int32_t length[k_most_passes] = {};
        int32_t passes = 0;  // 0: the file holds no data for the track
        bool killer = false; // all one bits, as the reader marked it: no sync
    };
    whole_track tracks[k_most_tracks + 1];
    int32_t half_tracks_with_data = 0;
    int32_t ignored_entries = 0;
    int32_t killer_tracks = 0;
};

// What opening a dump came to.
enum class d64s_decode_result { not_recognised, failed, decoded };

// d64s_decode_dump() :
//   Decodes the dump in `file` (`size` bytes), which starts with the decoder's
//   signature, into a new handle that owns the decoded image (one heap block,
//   released with free()). not_recognised: the file is not of the decoder's kind
//   (too short for its header and tables, or of a sibling's form: an NB2 for the NIB
//   decoder), *out_disk untouched; failed: allocation failed, *out_disk null.
d64s_decode_result d64s_decode_dump(const d64s_decoder& decoder, d64_disk** out_disk,
                                    const uint8_t* file, uint64_t size);

// The front ends: fill `tracks` from the file, or false when it is not of their kind.
bool d64s_read_gcr_tables(const d64s_decoder& decoder, const uint8_t* file, uint64_t size,
                          d64s_dump_tracks& tracks);
bool d64s_read_nib_capture(const d64s_decoder& decoder, const uint8_t* file, uint64_t size,
                           d64s_dump_tracks& tracks);

#endif // TRAKVOL_DECODER_H
