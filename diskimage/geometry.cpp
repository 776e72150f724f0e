// Recognition of an image by its length, and the track/sector geometry.
#include "geometry.h"

#include <cstdlib>

int32_t d64s_sector_count(int32_t track_count) {
    return start_sector_of_track[track_count] + d64s_sectors_of_track(track_count);
}

int64_t d64s_calculate_base_size(int32_t track_count) {
    return int64_t{k_sector_size} * d64s_sector_count(track_count);
}

int64_t d64s_calculate_block_error_info_size(int32_t track_count) {
    return d64s_sector_count(track_count);
}

const uint8_t* d64s_sector(const d64_disk* disk, int32_t track, int32_t sector) {
    return disk->image + int64_t{k_sector_size} * (start_sector_of_track[track] + sector);
}

bool d64_init_disk(d64_disk** out_disk, const uint8_t* image, uint64_t image_size) {
    if (image == nullptr || image_size == 0) {
        return false;
    }
    // The length alone tells the track count and whether error codes follow.
    int32_t tracks = k_min_track_count;
    for (; tracks <= k_max_track_count; ++tracks) {
        const auto base = static_cast<uint64_t>(d64s_calculate_base_size(tracks));
        const auto errors = static_cast<uint64_t>(d64s_calculate_block_error_info_size(tracks));
        if (image_size == base || image_size == base + errors) {
            break;
        }
    }
    if (tracks > k_max_track_count) {
        return false;
    }
    *out_disk = static_cast<d64_disk*>(std::malloc(sizeof(d64_disk)));
    if (*out_disk == nullptr) {
        return false;
    }
    d64_disk* disk = *out_disk;
    disk->image = image;
    disk->track_count = tracks;
    disk->sector_data_size = static_cast<uint64_t>(d64s_calculate_base_size(tracks));
    disk->error_info_size = image_size - disk->sector_data_size;
    return true;
}

bool d64_are_track_and_sector_valid(const d64_disk* disk, int32_t track, int32_t sector) {
    // The track is checked before the zone rule is applied to it.
    return disk != nullptr && track >= 1 && track <= disk->track_count && sector >= 0 &&
           sector < d64s_sectors_of_track(track);
}
