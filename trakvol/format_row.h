// Private: what one row of the format table says of a disk format: its lengths,
// zones, header, BAM and directory places, and the decoders that read raw track
// dumps into a format's sectors.
#ifndef TRAKVOL_FORMAT_ROW_H
#define TRAKVOL_FORMAT_ROW_H

#include "trakvol.h"

#include <array>
#include <cstdint>

inline constexpr int32_t k_sector_size = 256;
// The most tracks any format has: an 8250 disk's two sides of 77.
inline constexpr int32_t k_most_tracks = 154;
// The most sectors any track has: a 1581's 40.
inline constexpr int32_t k_most_track_sectors = 40;

// A sector: track and sector number, and a byte in it where the row needs one.
struct d64s_place {
    int32_t track;
    int32_t sector;
    int32_t offset;
};

// Tracks up to `last_track` of a side (from the previous zone's last + 1) have
// `sectors` sectors each: the outer tracks hold more.
struct d64s_zone {
    int32_t last_track;
    int32_t sectors;
};

// A run of tracks whose BAM entries lie at one place: each track's free count and its
// bitmap, in which a set bit marks a free sector, sector s being bit s mod 8 (the
// lowest first) of byte s / 8.
struct d64s_bam_part {
    int32_t tracks;        // the tracks after the previous part's
    d64s_place bitmap;     // of the part's first track
    int32_t bitmap_stride; // from one track's bitmap to the next
    d64s_place count;      // the free count of the part's first track
    int32_t count_stride;
    // Where the counts are read instead when those at `count` are all zero (0: no such
    // place): some writers of 1571 images leave side 2's counts on 18/0 empty and put
    // them at the same offset of 53/0, where the drive keeps its own copy.
    d64s_place count_fallback;
};

inline constexpr int32_t k_most_zones = 4;
inline constexpr int32_t k_most_bam_parts = 4;

struct d64s_format {
    d64_format format;  // the format's code (the public d64_format)
    const char* name;   // as the JSON record and the file extension give it
    int32_t min_tracks; // a 1541 disk has 35 to 42 tracks; the others a fixed count
    int32_t max_tracks;
    bool error_bytes; // may be followed by one error code byte per sector
    int32_t sides;    // each side after the first repeats the zones of the first
    d64s_zone zones[k_most_zones];
    d64s_place header;      // the sector with the disk name and id
    d64s_place header_link; // where its bytes 0-1 link: name and id are trusted then
    int32_t name_offset;    // 16 bytes in the header sector
    int32_t id_offset;      // 5 bytes: the id, a shifted space, the DOS type
    int32_t dos_type_offset;
    int32_t dos_version_offset;
    uint8_t dos_version; // the byte a drive of this kind writes there
    d64s_bam_part bam[k_most_bam_parts];
    int32_t bitmap_bytes;        // of one track's bitmap
    bool extended_bam;           // tracks past the BAM parts' in one of several layouts:
                                 // the 40-track 1541 disks of SpeedDOS, DolphinDOS, ...
    d64s_place directory;        // its first sector; the chain never leaves its track
    int32_t excluded_tracks[2];  // left out of "blocks free"; 0 for none
    int32_t reserved_track;      // its allocated sectors that nothing reaches are no
                                 // problem: the drive's formatting keeps them (0: none)
    int32_t max_directory_slots; // 8 per sector of the directory track but the header's
    uint8_t max_type_code;       // 4 (rel), or 5 on a 1581 (a partition)
    // The listing shows block counts modulo this, in the 1541's three columns, where no
    // real file reaches 1000 blocks; 0: whole counts (a file of the larger disks may
    // have more).
    int32_t listed_block_modulus;
    const char* description; // for the public facts

    // Computed from the zones.
    std::array<int32_t, k_most_tracks + 2> track_start{}; // linear index of sector 0
    std::array<int32_t, k_most_tracks + 1> track_sectors{};
    int32_t longest_track = 0;
};

// The tracks of one side: the last zone's last track.
constexpr int32_t d64s_side_tracks(const d64s_format& row) {
    int32_t last = 0;
    for (const d64s_zone& zone : row.zones) {
        last = zone.last_track > last ? zone.last_track : last;
    }
    return last;
}

// Fills the computed tables of a row.
constexpr d64s_format d64s_with_geometry(d64s_format row) {
    const int32_t side_tracks = d64s_side_tracks(row);
    for (int32_t track = 1; track <= side_tracks * row.sides && track <= k_most_tracks; ++track) {
        const int32_t on_side = (track - 1) % side_tracks + 1;
        int32_t sectors = 0;
        for (const d64s_zone& zone : row.zones) {
            if (sectors == 0 && on_side <= zone.last_track) {
                sectors = zone.sectors;
            }
        }
        row.track_sectors[track] = sectors;
        row.track_start[track + 1] = row.track_start[track] + sectors;
        row.longest_track = sectors > row.longest_track ? sectors : row.longest_track;
    }
    return row;
}

// How a raw track dump holds its tracks.
enum class d64s_dump_kind {
    gcr_tables, // G64, G71: a table of offsets to each track's circle of GCR bytes
    nib_capture // NIB, NB2: what the drive read of each track, 8192 bytes per pass
};

// A decoder of raw track dumps in front of a row: a file with its signature is
// decoded into the sectors and error codes of a disk of that row's format.
struct d64s_decoder {
    d64_format format;     // the handle's format after the decode
    d64_format row;        // the format it decodes into
    const char* name;      // as the JSON record and the file extension give it
    const char* signature; // the file's first bytes
    d64s_dump_kind kind;
    // gcr_tables: the track table's entries of one side: a side's tracks start at
    // side * side_entries, track by track and half-track between. nib_capture: the
    // passes of 8192 bytes each table entry holds (1, or 16 in an NB2: four at each
    // density).
    int32_t side_entries;
    int32_t passes_per_entry;
    const char* family;    // the kind of dump, shared by NIB and NB2
    uint64_t largest_file; // the longest file that holds anything more: a read limit
    const char* description;
};

#endif // TRAKVOL_FORMAT_ROW_H
