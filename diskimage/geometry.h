// Private geometry of a 1541 disk image, shared by the library's sources.
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

// Number of sectors of an image with `track_count` tracks.
int32_t d64s_sector_count(int32_t track_count);

// Length of the sector data of an image with `track_count` (35 to 42) tracks.
int64_t d64s_calculate_base_size(int32_t track_count);

// Length of the error-info block for `track_count` tracks: one byte per sector.
int64_t d64s_calculate_block_error_info_size(int32_t track_count);

// The 256 bytes of a sector; the caller has checked track and sector.
const uint8_t* d64s_sector(const d64_disk* disk, int32_t track, int32_t sector);

#endif // TRAKVOL_GEOMETRY_H
