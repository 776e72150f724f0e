// NIB and NB2: the dumps of the C64 Preservation Project's nibtools reader. Each
// track is what the drive's read shift register delivered from some point of the
// track on, over more than one revolution: a line, not a circle. The front end finds
// each whole track's bytes for the GCR decoder (gcr.cpp).
#include "decoder.h"
#include "formats.h"

#include <algorithm>

namespace {

// The header: the signature "MNIB-1541-RAW", a version byte (13), a half-track flag
// (15), then from 0x10 the track table: two bytes an entry, the half-track number (2
// is track 1, 3 track 1.5, ... 84 track 42) and the density byte; a half-track number
// of 0 ends it. After the header, each entry's data in table order: 8192 bytes, or in
// an NB2 16 passes of 8192 bytes, four at each density 0 to 3.
constexpr uint64_t k_table_offset = 0x10;
constexpr int32_t k_lowest_half_track = 2;
constexpr int32_t k_highest_half_track = 84;
// The density byte: the speed zone the track was read at in its low two bits; 0x80
// marks a killer track (all one bits). 0x10, 0x20 and 0x40 tell what the reader saw;
// decoding never depends on them: the bytes are what they are.
constexpr uint8_t k_density_bits = 0x03;
constexpr uint8_t k_killer_track = 0x80;
constexpr int32_t k_passes_per_density = 4;

// The table's entries: those before the first half-track number of 0.
uint64_t table_entries(const uint8_t* file) {
    uint64_t entries = 0;
    while (entries < k_nib_most_entries && file[k_table_offset + 2 * entries] != 0) {
        ++entries;
    }
    return entries;
}

// An entry of the table, or of the implied one of a file without a table: whole
// tracks 1, 2, 3, ... when there are 42 entries of data or fewer, else half-tracks
// 1, 1.5, 2, ...
struct table_entry {
    int32_t half_track;
    uint8_t density;
};

table_entry entry_at(const uint8_t* file, uint64_t listed, uint64_t data_entries, uint64_t index) {
    if (listed > 0) {
        return {file[k_table_offset + 2 * index], file[k_table_offset + 2 * index + 1]};
    }
    const bool whole_tracks = data_entries <= k_highest_half_track / 2;
    return {static_cast<int32_t>(whole_tracks ? 2 * (index + 1) : index + 2), 0};
}

} // namespace

bool d64s_read_nib_capture(const d64s_decoder& decoder, const uint8_t* file, uint64_t size,
                           d64s_dump_tracks& tracks) {
    if (size < k_nib_header_bytes) {
        return false;
    }
    // An NB2 is as long as its table says 16 passes an entry make; a NIB, with one
    // pass an entry, is never that long.
    const uint64_t listed = table_entries(file);
    const auto passes = static_cast<uint64_t>(decoder.passes_per_entry);
    const uint64_t multi_pass_size = k_nib_header_bytes + listed * 16 * k_nib_pass_bytes;
    if ((listed > 0 && size >= multi_pass_size) != (passes > 1)) {
        return false;
    }
    const uint64_t entry_bytes = passes * k_nib_pass_bytes;
    const uint64_t data_entries = (size - k_nib_header_bytes) / entry_bytes;
    const uint64_t entries = listed > 0 ? listed : std::min(data_entries, k_nib_most_entries);
    bool seen[k_highest_half_track + 1] = {};
    tracks.linear = true;
    for (uint64_t index = 0; index < entries; ++index) {
        const table_entry entry = entry_at(file, listed, data_entries, index);
        if (index >= data_entries || entry.half_track < k_lowest_half_track ||
            entry.half_track > k_highest_half_track || seen[entry.half_track]) {
            ++tracks.ignored_entries;
            continue;
        }
        seen[entry.half_track] = true;
        if (entry.half_track % 2 != 0) {
            ++tracks.half_tracks_with_data; // counted, not read
            continue;
        }
        d64s_dump_tracks::whole_track& track = tracks.tracks[entry.half_track / 2];
        track.killer = (entry.density & k_killer_track) != 0;
        tracks.killer_tracks += track.killer ? 1 : 0;
        // A NIB's one pass; an NB2's four passes at the density the track was read at.
        const uint8_t* data = file + k_nib_header_bytes + index * entry_bytes;
        const uint64_t first_pass =
            passes > 1
                ? static_cast<uint64_t>(entry.density & k_density_bits) * k_passes_per_density
                : 0;
        track.passes = passes > 1 ? k_passes_per_density : 1;
        for (int32_t pass = 0; pass < track.passes; ++pass) {
            track.data[pass] = data + (first_pass + static_cast<uint64_t>(pass)) * k_nib_pass_bytes;
            track.length[pass] = static_cast<int32_t>(k_nib_pass_bytes);
        }
    }
    return true;
}
