// The header sector: disk name and id; the BAM; and the per-sector error codes that
// may follow the sector data.
#include "geometry.h"

#include <bit>
#include <cstring>

namespace {

// The first two bytes of the header sector link to the first directory sector.
constexpr int32_t k_header_dir_track = 0;
constexpr int32_t k_header_dir_sector = 1;
constexpr int32_t k_disk_name_length = 16;
constexpr int32_t k_disk_id_length = 5;

// 1571: the free counts of tracks 36-70 are one byte each from 0xDD of 18/0; some
// image writers leave those zero and put them at the same place on 53/0. The
// bitmaps of tracks 36-70 are 3 bytes each from the start of 53/0.
constexpr int32_t k_d71_side2_free_offset = 0xDD;
constexpr int32_t k_d71_side2_bitmap_bytes = 3;
// 1581: tracks 1-40 on 40/1, 41-80 on 40/2, 6 bytes each from 0x10 (a free count
// and a 5-byte bitmap).
constexpr int32_t k_d81_bam_offset = 0x10;
constexpr int32_t k_d81_bam_entry_bytes = 6;

// An error-info byte of 1 means "no error"; images without the block report it
// for every sector.
constexpr uint8_t k_no_error = 1;

// Name and id are only trusted when the header links to the first directory sector.
bool header_links_to_directory(const d64_disk* disk) {
    const uint8_t* header = d64s_header_sector(disk);
    const d64s_format_layout& layout = d64s_layout(disk);
    return header[k_header_dir_track] == layout.directory_track &&
           header[k_header_dir_sector] == layout.first_directory_sector;
}

// Prefills `out` with '?', then copies the field when the header passes its check.
bool copy_header_field(const d64_disk* disk, char* out, int32_t offset, int32_t length) {
    std::memset(out, '?', static_cast<size_t>(length));
    out[length] = '\0';
    if (!header_links_to_directory(disk)) {
        return false;
    }
    std::memcpy(out, d64s_header_sector(disk) + offset, static_cast<size_t>(length));
    return true;
}

// Where the BAM keeps a track: its free count byte and its bitmap, in which a set
// bit marks a free sector (the lowest bit of the first byte is sector 0).
struct bam_entry {
    const uint8_t* free_count;
    const uint8_t* bitmap;
};

const uint8_t* d71_side2_free_counts(const d64_disk* disk) {
    const uint8_t* counts = d64s_header_sector(disk) + k_d71_side2_free_offset;
    for (int32_t i = 0; i < k_d71_side_tracks; ++i) {
        if (counts[i] != 0) {
            return counts;
        }
    }
    return d64s_sector(disk, k_d71_bam_track, 0) + k_d71_side2_free_offset;
}

bam_entry bam_entry_of(const d64_disk* disk, int32_t track) {
    if (disk->format == D64_FORMAT_D81) {
        const int32_t bam_sector = track <= k_d81_directory_track ? 1 : 2;
        const uint8_t* entry = d64s_sector(disk, k_d81_directory_track, bam_sector) +
                               k_d81_bam_offset +
                               k_d81_bam_entry_bytes * ((track - 1) % k_d81_directory_track);
        return {entry, entry + 1};
    }
    if (disk->format == D64_FORMAT_D71 && track > k_d71_side_tracks) {
        const int32_t index = track - k_d71_side_tracks - 1;
        return {d71_side2_free_counts(disk) + index,
                d64s_sector(disk, k_d71_bam_track, 0) + k_d71_side2_bitmap_bytes * index};
    }
    // The BAM entry of track t is 4 bytes at offset 4*t of the header sector: a free
    // count, then the bitmap. Tracks 36 and up follow the same formula and so overlap
    // the disk name and id.
    const uint8_t* entry = d64s_header_sector(disk) + 4 * track;
    return {entry, entry + 1};
}

} // namespace

bool d64_get_disk_name(const d64_disk* disk, char* name) {
    if (disk == nullptr) {
        return false;
    }
    return copy_header_field(disk, name, d64s_layout(disk).name_offset, k_disk_name_length);
}

bool d64_get_disk_id(const d64_disk* disk, char* id) {
    if (disk == nullptr) {
        return false;
    }
    return copy_header_field(disk, id, d64s_layout(disk).id_offset, k_disk_id_length);
}

bool d64_is_sector_allocated(const d64_disk* disk, int32_t track, int32_t sector) {
    if (disk == nullptr) {
        return false;
    }
    const uint8_t bitmap_byte = bam_entry_of(disk, track).bitmap[sector / 8];
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
                            static_cast<uint64_t>(d64s_track_start(disk, track) + sector)];
    }
    return true;
}

bool d64_get_track_free_count(const d64_disk* disk, int32_t track, uint8_t* count) {
    if (disk == nullptr || count == nullptr || track < 1 || track > disk->track_count) {
        return false;
    }
    *count = *bam_entry_of(disk, track).free_count;
    return true;
}

bool d64_count_free_sectors(const d64_disk* disk, int32_t* total) {
    if (disk == nullptr || total == nullptr) {
        return false;
    }
    const d64s_format_layout& layout = d64s_layout(disk);
    *total = 0;
    for (int32_t track = 1; track <= disk->track_count; ++track) {
        // The directory track (and a 1571's second BAM track) never counts as free space.
        if (track != layout.excluded_tracks[0] && track != layout.excluded_tracks[1]) {
            *total += *bam_entry_of(disk, track).free_count;
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// Where a D64 of more than 35 tracks keeps the BAM of tracks 36 and up
// ---------------------------------------------------------------------------

namespace {

constexpr int32_t k_extended_bam_entry_bytes = 4; // free count and a 3-byte bitmap
constexpr int32_t k_speeddos_offset = 0xC0;
constexpr int32_t k_dolphindos_offset = 0xAC;
// Entries at 4*t: tracks 36-42 at 144-171, over the disk name and id.
constexpr int32_t k_prologic_offset = 4 * (k_min_track_count + 1);
constexpr int32_t k_last_track_of_short_layouts = 40;

struct extended_layout {
    d64_bam_layout layout;
    int32_t offset;
    int32_t last_track;
};

constexpr extended_layout k_extended_layouts[] = {
    {D64_BAM_LAYOUT_PROLOGIC, k_prologic_offset, k_max_track_count},
    {D64_BAM_LAYOUT_SPEEDDOS, k_speeddos_offset, k_last_track_of_short_layouts},
    {D64_BAM_LAYOUT_DOLPHINDOS, k_dolphindos_offset, k_last_track_of_short_layouts},
};

// The entries of tracks 36 up to the disk's last track (or the layout's) in one layout.
struct extended_area {
    const uint8_t* entries;
    int32_t tracks;
};

extended_area area_of(const d64_disk* disk, const extended_layout& layout) {
    const int32_t last =
        disk->track_count < layout.last_track ? disk->track_count : layout.last_track;
    return {d64s_header_sector(disk) + layout.offset, last - k_min_track_count};
}

// Every entry's free count equals the free bits of its bitmap and fits the track.
bool is_consistent(const extended_area& area) {
    for (int32_t i = 0; i < area.tracks; ++i) {
        const uint8_t* entry = area.entries + k_extended_bam_entry_bytes * i;
        const uint32_t bitmap =
            uint32_t{entry[1]} | uint32_t{entry[2]} << 8U | uint32_t{entry[3]} << 16U;
        if (entry[0] != std::popcount(bitmap) ||
            entry[0] > d64s_sectors_of_track(k_min_track_count + 1 + i)) {
            return false;
        }
    }
    return true;
}

// An area of zero bytes is what every layout but the disk's own holds.
bool is_all_zero(const extended_area& area) {
    for (int32_t i = 0; i < k_extended_bam_entry_bytes * area.tracks; ++i) {
        if (area.entries[i] != 0) {
            return false;
        }
    }
    return true;
}

} // namespace

bool d64_detect_bam_layout(const d64_disk* disk, d64_bam_layout* layout, int32_t* free_blocks) {
    if (disk == nullptr || layout == nullptr || free_blocks == nullptr) {
        return false;
    }
    if ((disk->format != D64_FORMAT_D64 && disk->format != D64_FORMAT_G64) ||
        disk->track_count == k_min_track_count) {
        *layout = D64_BAM_LAYOUT_NONE;
        return true;
    }
    const extended_layout* chosen = nullptr;
    int32_t candidates = 0;
    for (const extended_layout& candidate : k_extended_layouts) {
        const extended_area area = area_of(disk, candidate);
        if (!is_all_zero(area) && is_consistent(area)) {
            chosen = &candidate;
            ++candidates;
        }
    }
    if (candidates != 1) {
        *layout = D64_BAM_LAYOUT_UNKNOWN;
        return true;
    }
    *layout = chosen->layout;
    // Tracks 1-35 from the usual entries (track 18 left out), the rest from the layout.
    int32_t total = 0;
    for (int32_t track = 1; track <= k_min_track_count; ++track) {
        total += track != k_directory_track ? *bam_entry_of(disk, track).free_count : 0;
    }
    const extended_area area = area_of(disk, *chosen);
    for (int32_t i = 0; i < area.tracks; ++i) {
        total += area.entries[k_extended_bam_entry_bytes * i];
    }
    *free_blocks = total;
    return true;
}
