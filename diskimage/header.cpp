// The header sector (track 18 sector 0): disk name, disk id and the BAM, and the
// per-sector error codes that may follow the sector data.
#include "geometry.h"

#include <cstring>

namespace {

// Offsets within the header sector.
constexpr int32_t k_header_dir_track = 0;
constexpr int32_t k_header_dir_sector = 1;
constexpr int32_t k_disk_name_offset = 144;
constexpr int32_t k_disk_name_length = 16;
constexpr int32_t k_disk_id_offset = 162;
constexpr int32_t k_disk_id_length = 5;

// An error-info byte of 1 means "no error"; images without the block report it
// for every sector.
constexpr uint8_t k_no_error = 1;

const uint8_t* header_sector(const d64_disk* disk) {
    return d64s_sector(disk, k_directory_track, k_header_sector);
}

// Name and id are only trusted when the header links to the directory at 18/1.
bool header_links_to_directory(const uint8_t* header) {
    return header[k_header_dir_track] == k_directory_track &&
           header[k_header_dir_sector] == k_first_directory_sector;
}

// Prefills `out` with '?', then copies the field when the header passes its check.
bool copy_header_field(const d64_disk* disk, char* out, int32_t offset, int32_t length) {
    std::memset(out, '?', static_cast<size_t>(length));
    out[length] = '\0';
    const uint8_t* header = header_sector(disk);
    if (!header_links_to_directory(header)) {
        return false;
    }
    std::memcpy(out, header + offset, static_cast<size_t>(length));
    return true;
}

} // namespace

bool d64_get_disk_name(const d64_disk* disk, char* name) {
    if (disk == nullptr) {
        return false;
    }
    return copy_header_field(disk, name, k_disk_name_offset, k_disk_name_length);
}

bool d64_get_disk_id(const d64_disk* disk, char* id) {
    if (disk == nullptr) {
        return false;
    }
    return copy_header_field(disk, id, k_disk_id_offset, k_disk_id_length);
}

bool d64_is_sector_allocated(const d64_disk* disk, int32_t track, int32_t sector) {
    if (disk == nullptr) {
        return false;
    }
    // The BAM entry of track t is 4 bytes at offset 4*t: a free count, then a
    // bitmap in which a set bit marks a free sector. Tracks 36 and up follow the
    // same formula and so overlap the disk name and id.
    const uint8_t bitmap_byte = header_sector(disk)[4 * track + 1 + sector / 8];
    const auto mask = static_cast<uint8_t>(1U << (sector % 8));
    return (bitmap_byte & mask) == 0;
}

bool d64_get_sector_error_info(const d64_disk* disk, int32_t track, int32_t sector, uint8_t* code) {
    if (disk == nullptr || code == nullptr) {
        return false;
    }
    *code = k_no_error;
    if (disk->error_info_size != 0) {
        *code = disk->image[disk->sector_data_size +
                            static_cast<uint64_t>(start_sector_of_track[track] + sector)];
    }
    return true;
}

bool d64_get_track_free_count(const d64_disk* disk, int32_t track, uint8_t* count) {
    if (disk == nullptr || count == nullptr || track < 1 || track > disk->track_count) {
        return false;
    }
    *count = header_sector(disk)[4 * track];
    return true;
}

bool d64_count_free_sectors(const d64_disk* disk, int32_t* total) {
    if (disk == nullptr || total == nullptr) {
        return false;
    }
    const uint8_t* header = header_sector(disk);
    *total = 0;
    for (int32_t track = 1; track <= disk->track_count; ++track) {
        // The directory track never counts as free space.
        if (track != k_directory_track) {
            *total += header[4 * track];
        }
    }
    return true;
}
