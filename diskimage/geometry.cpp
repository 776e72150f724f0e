// Recognition of an image by its length, and the track/sector geometry of each format.
#include "geometry.h"

#include "g64.h"

#include <cstdlib>

namespace {

constexpr int32_t k_d71_sectors = 2 * k_d71_side_sectors;
constexpr int32_t k_d81_sectors = k_d81_track_count * k_d81_sectors_per_track;

// Rows in the order of d64_format.
constexpr d64s_format_layout k_layouts[] = {
    // 1541: header 18/0 with the BAM in it, directory from 18/1.
    {.header_track = k_directory_track,
     .header_sector = k_header_sector,
     .directory_track = k_directory_track,
     .first_directory_sector = k_first_directory_sector,
     .name_offset = 144,
     .id_offset = 162,
     .excluded_tracks = {k_directory_track, 0},
     .max_directory_slots = 144,
     .longest_track = 21},
    // 1571: as a 1541 on side 1; track 53 holds side 2's BAM and counts as little.
    {.header_track = k_directory_track,
     .header_sector = k_header_sector,
     .directory_track = k_directory_track,
     .first_directory_sector = k_first_directory_sector,
     .name_offset = 144,
     .id_offset = 162,
     .excluded_tracks = {k_directory_track, k_d71_bam_track},
     .max_directory_slots = 144,
     .longest_track = 21},
    // 1581: header 40/0, BAM 40/1 and 40/2, directory from 40/3 (37 sectors of 8 slots).
    {.header_track = k_d81_directory_track,
     .header_sector = 0,
     .directory_track = k_d81_directory_track,
     .first_directory_sector = 3,
     .name_offset = 0x04,
     .id_offset = 0x16,
     .excluded_tracks = {k_d81_directory_track, 0},
     .max_directory_slots = 296,
     .longest_track = k_d81_sectors_per_track},
};

// The handle is one heap block, released with free().
bool make_handle(d64_disk** out_disk, const uint8_t* image, uint64_t image_size, d64_format format,
                 int32_t tracks, int32_t sectors) {
    *out_disk = static_cast<d64_disk*>(std::malloc(sizeof(d64_disk)));
    if (*out_disk == nullptr) {
        return false;
    }
    d64_disk* disk = *out_disk;
    disk->image = image;
    disk->track_count = tracks;
    disk->sector_data_size = uint64_t{k_sector_size} * static_cast<uint64_t>(sectors);
    disk->error_info_size = image_size - disk->sector_data_size;
    disk->format = format;
    return true;
}

// The track count of a D64 image of this length (with or without error codes), or 0.
int32_t tracks_of_d64_length(uint64_t image_size) {
    for (int32_t tracks = k_min_track_count; tracks <= k_max_track_count; ++tracks) {
        const auto base = static_cast<uint64_t>(d64s_calculate_base_size(tracks));
        const auto errors = static_cast<uint64_t>(d64s_calculate_block_error_info_size(tracks));
        if (image_size == base || image_size == base + errors) {
            return tracks;
        }
    }
    return 0;
}

// Sector data alone, or followed by one error byte per sector.
bool has_length(uint64_t image_size, int32_t sectors) {
    const auto base = uint64_t{k_sector_size} * static_cast<uint64_t>(sectors);
    return image_size == base || image_size == base + static_cast<uint64_t>(sectors);
}

} // namespace

const d64s_format_layout& d64s_layout(const d64_disk* disk) {
    // A G64 decodes into the sectors of a 1541 disk.
    return k_layouts[disk->format == D64_FORMAT_G64 ? D64_FORMAT_D64 : disk->format];
}

int32_t d64s_sector_count(int32_t track_count) {
    return start_sector_of_track[track_count] + d64s_sectors_of_track(track_count);
}

int64_t d64s_calculate_base_size(int32_t track_count) {
    return int64_t{k_sector_size} * d64s_sector_count(track_count);
}

int64_t d64s_calculate_block_error_info_size(int32_t track_count) {
    return d64s_sector_count(track_count);
}

bool d64_init_disk(d64_disk** out_disk, const uint8_t* image, uint64_t image_size) {
    if (image == nullptr || image_size == 0) {
        return false;
    }
    // The length alone tells the track count and whether error codes follow.
    const int32_t tracks = tracks_of_d64_length(image_size);
    return tracks != 0 && make_handle(out_disk, image, image_size, D64_FORMAT_D64, tracks,
                                      d64s_sector_count(tracks));
}

bool d64_open_disk(d64_disk** out_disk, const uint8_t* image, uint64_t image_size,
                   d64_format* format) {
    if (image == nullptr || image_size == 0) {
        return false;
    }
    d64_format found = D64_FORMAT_D64;
    int32_t tracks = tracks_of_d64_length(image_size);
    int32_t sectors = tracks != 0 ? d64s_sector_count(tracks) : 0;
    if (tracks == 0 && has_length(image_size, k_d71_sectors)) {
        found = D64_FORMAT_D71;
        tracks = k_d71_track_count;
        sectors = k_d71_sectors;
    } else if (tracks == 0 && has_length(image_size, k_d81_sectors)) {
        found = D64_FORMAT_D81;
        tracks = k_d81_track_count;
        sectors = k_d81_sectors;
    }
    if (tracks == 0 && d64s_has_g64_signature(image, image_size)) {
        found = D64_FORMAT_G64;
        if (!d64s_open_g64(out_disk, image, image_size)) {
            return false;
        }
    } else if (tracks == 0 || !make_handle(out_disk, image, image_size, found, tracks, sectors)) {
        return false;
    }
    if (format != nullptr) {
        *format = found;
    }
    return true;
}

bool d64_get_format_info(const d64_disk* disk, d64_format_info* info) {
    if (disk == nullptr || info == nullptr) {
        return false;
    }
    const d64s_format_layout& layout = d64s_layout(disk);
    info->format = disk->format;
    info->sector_count = d64s_disk_sectors(disk);
    info->longest_track = layout.longest_track;
    info->directory_track = layout.directory_track;
    info->max_directory_slots = layout.max_directory_slots;
    return true;
}

bool d64_are_track_and_sector_valid(const d64_disk* disk, int32_t track, int32_t sector) {
    // The track is checked before the zone rule is applied to it.
    return disk != nullptr && track >= 1 && track <= disk->track_count && sector >= 0 &&
           sector < d64s_track_sectors(disk, track);
}
