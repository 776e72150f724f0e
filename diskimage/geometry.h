// Private geometry of the disk formats (1541 D64, 1571 D71, 1581 D81), shared by
// the library's sources.
#ifndef TRAKVOL_GEOMETRY_H
#define TRAKVOL_GEOMETRY_H

#include "trakvol.h"

#include <array>
#include <cstdint>

inline constexpr int32_t k_sector_size = 256;
inline constexpr int32_t k_min_track_count = 35;
inline constexpr int32_t k_max_track_count = 42;

// Track 18 holds the header/BAM sector (sector 0) and the directory (from sector 1).
inline constexpr int32_t k_directory_track = 18;
inline constexpr int32_t k_header_sector = 0;
inline constexpr int32_t k_first_directory_sector = 1;

// A 1571 disk is two 1541 sides: tracks 36-70 repeat the zones of 1-35.
inline constexpr int32_t k_d71_track_count = 70;
inline constexpr int32_t k_d71_side_tracks = 35;
inline constexpr int32_t k_d71_side_sectors = 683;
// Track 53, side 2's track 18, holds the bitmaps of tracks 36-70.
inline constexpr int32_t k_d71_bam_track = 53;

// A 1581 disk has 80 tracks of 40 sectors; track 40 holds header, BAM and directory.
inline constexpr int32_t k_d81_track_count = 80;
inline constexpr int32_t k_d81_sectors_per_track = 40;
inline constexpr int32_t k_d81_directory_track = 40;

// Zones of the 1541: the outer tracks hold more sectors than the inner ones.
constexpr int32_t d64s_sectors_of_track(int32_t track) {
    return 21 - 2 * (track > 17) - (track > 24) - (track > 30);
}

constexpr std::array<int32_t, k_max_track_count + 1> d64s_make_start_sector_table() {
    std::array<int32_t, k_max_track_count + 1> table{};
    for (int32_t track = 1; track < k_max_track_count; ++track) {
        table[track + 1] = table[track] + d64s_sectors_of_track(track);
    }
    return table;
}

// Linear index of sector 0 of every track; entries 0 and 1 are 0 (there is no track 0).
inline constexpr auto start_sector_of_track = d64s_make_start_sector_table();
static_assert(start_sector_of_track[18] == 357 && start_sector_of_track[36] == 683);

// Where a format keeps its disk name, id, BAM and directory: fixed facts, one row
// per format.
struct d64s_format_layout {
    int32_t header_track; // the sector with disk name and id
    int32_t header_sector;
    int32_t directory_track;        // the directory chain never leaves this track
    int32_t first_directory_sector; // the header's check: it links here
    int32_t name_offset;            // 16 bytes in the header sector
    int32_t id_offset;              // 5 bytes
    int32_t excluded_tracks[2];     // left out of "blocks free"; 0 for none
    int32_t max_directory_slots;    // 8 per sector of the directory track but the header's
    int32_t longest_track;          // sectors of the longest track
};

const d64s_format_layout& d64s_layout(const d64_disk* disk);

// Sectors of `track`, which must be a track of the disk's format.
inline int32_t d64s_track_sectors(const d64_disk* disk, int32_t track) {
    if (disk->format == D64_FORMAT_D81) {
        return k_d81_sectors_per_track;
    }
    if (disk->format == D64_FORMAT_D71 && track > k_d71_side_tracks) {
        track -= k_d71_side_tracks;
    }
    return d64s_sectors_of_track(track);
}

// Linear index of sector 0 of `track`.
inline int32_t d64s_track_start(const d64_disk* disk, int32_t track) {
    if (disk->format == D64_FORMAT_D81) {
        return k_d81_sectors_per_track * (track - 1);
    }
    if (disk->format == D64_FORMAT_D71 && track > k_d71_side_tracks) {
        return k_d71_side_sectors + start_sector_of_track[track - k_d71_side_tracks];
    }
    return start_sector_of_track[track];
}

// Number of sectors of the whole disk.
inline int32_t d64s_disk_sectors(const d64_disk* disk) {
    return static_cast<int32_t>(disk->sector_data_size / k_sector_size);
}

// Number of sectors of a D64 image with `track_count` tracks.
int32_t d64s_sector_count(int32_t track_count);

// Length of the sector data of a D64 image with `track_count` (35 to 42) tracks.
int64_t d64s_calculate_base_size(int32_t track_count);

// Length of the error-info block for `track_count` tracks: one byte per sector.
int64_t d64s_calculate_block_error_info_size(int32_t track_count);

// The 256 bytes of a sector; the caller has checked track and sector.
inline const uint8_t* d64s_sector(const d64_disk* disk, int32_t track, int32_t sector) {
    return disk->image + int64_t{k_sector_size} * (d64s_track_start(disk, track) + sector);
}

// The header sector: disk name and id (and on a 1541 or 1571 the BAM).
inline const uint8_t* d64s_header_sector(const d64_disk* disk) {
    const d64s_format_layout& layout = d64s_layout(disk);
    return d64s_sector(disk, layout.header_track, layout.header_sector);
}

#endif // TRAKVOL_GEOMETRY_H
