// Writes a D64 image as a G64 file (a D71 as a G71), each track the bit stream a 1541 writes (sync,
// header block, gap, sync, data block, gap per sector, in GCR), with faults planted
// where a table says: for the decoder's tests, fuzz seeds and the benchmark.
#ifndef FLOPPEEK_GCR_WRITER_H
#define FLOPPEEK_GCR_WRITER_H

#include "image_builder.h"

#include <string>
#include <vector>

enum class gcr_fault {
    data_checksum,   // the data block's checksum is wrong
    header_checksum, // the header block's checksum is wrong
    missing_sector,  // neither header nor data block is written
    missing_data_id, // the data block starts with 0x00 instead of 0x07
    foreign_id,      // the header carries another disk id
    other_track,     // the header names the next track (its checksum right for it)
    duplicate,       // a second, faultless copy of header and data block follows
    no_syncs,        // the whole track: no sync anywhere
    no_data,         // the whole track: the file holds none (offset 0)
    over_the_end,    // the whole track: turned so that this sector's data block wraps
    header_over_the_end, // ... so that this sector's header block wraps
    data_at_the_start,   // ... so that this sector's data block starts at bit 0, its
                         // sync at the circle's end
    sync_across_end, // the whole track: turned 4 bytes, its first sync over the end
    unaligned,       // the whole track: shifted by 3 bits, no sync on a byte boundary
    // NIB and NB2 only:
    copies_differ, // the sector's copy in the capture's second revolution holds other
                   // bytes (with their own right checksum)
    killer_track,  // the whole track: all one bits, its density byte marked 0x80
};

struct planted_fault {
    gcr_fault what;
    track_sector at; // the sector, or any sector of the track for track faults
};

// The G64 of `image` (a D64 of 35 to 42 tracks; its error bytes are not written):
// 84 track entries, the largest track 7928 bytes, every whole track written, plus a
// copy of track 1 as half-track 1.5 when `with_half_track`. For a D71, its G71:
// "GCR-1571", 168 entries, side 2's tracks from entry 84 on.
std::string gcr_write_g64(const test_image& image, const std::vector<planted_fault>& faults = {},
                          bool with_half_track = false);

// How a NIB is laid out besides the faults of its tracks.
struct nib_options {
    bool multi_pass = false;        // an NB2: 16 passes an entry, four at each density
    bool empty_table = false;       // a very old file: no table, the entries implied
    bool track_named_twice = false; // a last entry, with data, naming track 1 again
    size_t cut = 0;                 // bytes cut off the end of the file
    // NB2: faults of the first of the four passes at the track's density only, and of
    // the three others (none: they read cleanly).
    std::vector<planted_fault> first_pass_faults;
    std::vector<planted_fault> later_pass_faults;
};

// The NIB of `image` (a D64 of 35 to 42 tracks): the header "MNIB-1541-RAW" version 3,
// a table entry per whole track with its zone's density, and for each track 8192
// bytes read from a point of its circle that differs from track to track, over more
// than one revolution; `no_data` leaves a track out of the table. With
// `multi_pass`, an NB2.
std::string gcr_write_nib(const test_image& image, const std::vector<planted_fault>& faults = {},
                          const nib_options& options = {});

#endif // FLOPPEEK_GCR_WRITER_H
