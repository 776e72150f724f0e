// G64 and G71: a table of where each track's bytes lie, each track the circle of GCR
// bits on the disk surface. The front end finds each whole track's bytes for the GCR
// decoder (gcr.cpp).
#include "decoder.h"
#include "formats.h"

namespace {

// The file: its signature ("GCR-1541", "GCR-1571"), a version byte, the number of
// track entries N (tracks 1, 1.5, 2, ...; a 1571's side 2 from entry 84 on), the
// largest track length (16-bit little-endian), then N 32-bit offsets of the track
// data (0: none) and N 32-bit speed entries, ignored here. Track data: a 16-bit
// little-endian length, then that many bytes of GCR.
constexpr uint64_t k_entry_count_offset = 9;
constexpr uint64_t k_max_track_size_offset = 10;
constexpr uint64_t k_tables_offset = 12;

uint32_t read_le16(const uint8_t* bytes) {
    return bytes[0] | uint32_t{bytes[1]} << 8U;
}

uint32_t read_le32(const uint8_t* bytes) {
    return bytes[0] | uint32_t{bytes[1]} << 8U | uint32_t{bytes[2]} << 16U |
           uint32_t{bytes[3]} << 24U;
}

// The file's header and tables, checked against its size.
struct gcr_file {
    const uint8_t* bytes;
    uint64_t size;
    uint32_t entries;
    uint32_t max_track_size;
    int32_t side_tracks;  // of the disk it decodes into
    int32_t side_entries; // where the next side's tracks start in the table

    // The data of whole track `track`, or false when the file holds none for it (no
    // entry, offset 0, or an offset or length outside the file or the largest size).
    bool track_data(int32_t track, const uint8_t** data, int32_t* length) const {
        const int32_t side = (track - 1) / side_tracks;
        const auto entry =
            static_cast<uint32_t>(side * side_entries + 2 * (track - 1 - side * side_tracks));
        if (entry >= entries) {
            return false;
        }
        const uint64_t offset = read_le32(bytes + k_tables_offset + 4 * entry);
        if (offset == 0 || offset > size || size - offset < 2) {
            return false;
        }
        const uint32_t track_length = read_le16(bytes + offset);
        if (track_length == 0 || track_length > max_track_size ||
            size - offset - 2 < track_length) {
            return false;
        }
        *data = bytes + offset + 2;
        *length = static_cast<int32_t>(track_length);
        return true;
    }

    int32_t half_tracks_with_data() const {
        int32_t count = 0;
        for (uint32_t entry = 1; entry < entries; entry += 2) {
            count += read_le32(bytes + k_tables_offset + 4 * entry) != 0 ? 1 : 0;
        }
        return count;
    }
};

} // namespace

bool d64s_read_gcr_tables(const d64s_decoder& decoder, const uint8_t* file, uint64_t size,
                          d64s_dump_tracks& tracks) {
    const d64s_format& row = d64s_row_of(decoder.row);
    if (size < k_tables_offset) {
        return false;
    }
    const gcr_file gcr{file,
                       size,
                       file[k_entry_count_offset],
                       read_le16(file + k_max_track_size_offset),
                       d64s_side_tracks(row),
                       decoder.side_entries};
    if (size < k_tables_offset + 8 * uint64_t{gcr.entries}) {
        return false;
    }
    tracks.linear = false;
    for (int32_t number = 1; number <= row.max_tracks; ++number) {
        d64s_dump_tracks::whole_track& track = tracks.tracks[number];
        track.passes = gcr.track_data(number, &track.data[0], &track.length[0]) ? 1 : 0;
    }
    tracks.half_tracks_with_data = gcr.half_tracks_with_data();
    return true;
}
