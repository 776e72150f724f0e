// The header sector: disk name and id; the BAM; and the per-sector error codes that
// may follow the sector data.
#include "bam.h"
#include "geometry.h"

#include <bit>
#include <cstring>

namespace {

// The first two bytes of the header sector link to where the format says: the first
// directory sector (the first BAM sector on an 8050 or 8250).
constexpr int32_t k_header_link_track = 0;
constexpr int32_t k_header_link_sector = 1;
constexpr int32_t k_disk_name_length = 16;
constexpr int32_t k_disk_id_length = 5;

// An error-info byte of 1 means "no error"; images without the block report it
// for every sector.
constexpr uint8_t k_no_error = 1;

// Name and id are only trusted when the header links where the format says.
bool header_links_to_directory(const d64_disk* disk) {
    const uint8_t* header = d64s_header_sector(disk);
    const d64s_format& row = d64s_row(disk);
    return header[k_header_link_track] == row.header_link.track &&
           header[k_header_link_sector] == row.header_link.sector;
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

// The free counts of a part, or those at its fallback place when they are all zero
// and the part has one.
const uint8_t* part_counts(const d64_disk* disk, const d64s_bam_part& part) {
    const uint8_t* counts = d64s_at(disk, part.count);
    if (part.count_fallback.track == 0) {
        return counts;
    }
    for (int32_t i = 0; i < part.tracks; ++i) {
        if (counts[part.count_stride * i] != 0) {
            return counts;
        }
    }
    return d64s_at(disk, part.count_fallback);
}

// ---------------------------------------------------------------------------
// Where a D64 of more than 35 tracks keeps the BAM of tracks 36 to 40
// ---------------------------------------------------------------------------

// Tracks past the 35 of a standard 1541 disk.
constexpr int32_t k_first_extended_track = 36;
constexpr int32_t k_extended_bam_entry_bytes = 4; // free count and a 3-byte bitmap
constexpr int32_t k_speeddos_offset = 0xC0;
constexpr int32_t k_dolphindos_offset = 0xAC;
// Entries at 4*t: tracks 36-40 at 144-163, over the disk name.
constexpr int32_t k_prologic_offset = 4 * k_first_extended_track;
// Five entries, tracks 36-40, in every layout.
constexpr int32_t k_last_extended_bam_track = 40;

struct extended_layout {
    d64_bam_layout layout;
    int32_t offset;
    int32_t last_track;
};

constexpr extended_layout k_extended_layouts[] = {
    {D64_BAM_LAYOUT_PROLOGIC, k_prologic_offset, k_last_extended_bam_track},
    {D64_BAM_LAYOUT_SPEEDDOS, k_speeddos_offset, k_last_extended_bam_track},
    {D64_BAM_LAYOUT_DOLPHINDOS, k_dolphindos_offset, k_last_extended_bam_track},
};

// The entries of tracks 36 up to the disk's last track (at most 40) in one layout.
struct extended_area {
    const uint8_t* entries;
    int32_t tracks;
};

extended_area area_of(const d64_disk* disk, const extended_layout& layout) {
    const int32_t last =
        disk->track_count < layout.last_track ? disk->track_count : layout.last_track;
    return {d64s_header_sector(disk) + layout.offset, last - k_first_extended_track + 1};
}

// Every entry's free count equals the free bits of its bitmap and fits the track.
bool is_consistent(const d64_disk* disk, const extended_area& area) {
    for (int32_t i = 0; i < area.tracks; ++i) {
        const uint8_t* entry = area.entries + k_extended_bam_entry_bytes * i;
        const uint32_t bitmap =
            uint32_t{entry[1]} | uint32_t{entry[2]} << 8U | uint32_t{entry[3]} << 16U;
        if (entry[0] != std::popcount(bitmap) ||
            entry[0] > d64s_row(disk).track_sectors[k_first_extended_track + i]) {
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

// The one layout that fits the disk, or null: none or more than one fits, or the
// disk has no tracks past 35.
const extended_layout* chosen_layout(const d64_disk* disk) {
    if (!d64s_row(disk).extended_bam || disk->track_count < k_first_extended_track) {
        return nullptr;
    }
    const extended_layout* chosen = nullptr;
    int32_t candidates = 0;
    for (const extended_layout& candidate : k_extended_layouts) {
        const extended_area area = area_of(disk, candidate);
        if (!is_all_zero(area) && is_consistent(disk, area)) {
            chosen = &candidate;
            ++candidates;
        }
    }
    return candidates == 1 ? chosen : nullptr;
}

// The BAM entry of a track: in the part of the format's BAM that covers it. A 1541
// disk of more than 35 tracks keeps the entries of tracks 36-40 where its DOS put
// them; the detected layout tells where. Without one, and always for tracks 41 and
// 42, which no DOS keeps a BAM for, a track has no entry.
bam_entry bam_entry_of(const d64_disk* disk, int32_t track) {
    const d64s_format& row = d64s_row(disk);
    int32_t first = 1;
    for (const d64s_bam_part& part : row.bam) {
        if (part.tracks != 0 && track < first + part.tracks) {
            const int32_t index = track - first;
            return {part_counts(disk, part) + part.count_stride * index,
                    d64s_at(disk, part.bitmap) + part.bitmap_stride * index};
        }
        first += part.tracks;
    }
    const extended_layout* layout = row.extended_bam ? chosen_layout(disk) : nullptr;
    if (layout == nullptr || track > layout->last_track) {
        return {nullptr, nullptr};
    }
    const uint8_t* entry = d64s_header_sector(disk) + layout->offset +
                           k_extended_bam_entry_bytes * (track - k_first_extended_track);
    return {entry, entry + 1};
}

// A track without a BAM entry has no free sector.
uint8_t free_count_of(const bam_entry& entry) {
    return entry.free_count != nullptr ? *entry.free_count : 0;
}

} // namespace

bool d64s_bam_entry(const d64_disk* disk, int32_t track, const uint8_t** count,
                    const uint8_t** bitmap) {
    const bam_entry entry = bam_entry_of(disk, track);
    *count = entry.free_count;
    *bitmap = entry.bitmap;
    return entry.bitmap != nullptr;
}

bool d64_get_disk_name(const d64_disk* disk, char* name) {
    if (disk == nullptr) {
        return false;
    }
    return copy_header_field(disk, name, d64s_row(disk).name_offset, k_disk_name_length);
}

bool d64_get_disk_id(const d64_disk* disk, char* id) {
    if (disk == nullptr) {
        return false;
    }
    return copy_header_field(disk, id, d64s_row(disk).id_offset, k_disk_id_length);
}

bool d64_is_sector_allocated(const d64_disk* disk, int32_t track, int32_t sector) {
    if (disk == nullptr) {
        return false;
    }
    // A track without a BAM entry is all allocated, as the drive sees it.
    const bam_entry entry = bam_entry_of(disk, track);
    if (entry.bitmap == nullptr) {
        return true;
    }
    const uint8_t bitmap_byte = entry.bitmap[sector / 8];
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
    *count = free_count_of(bam_entry_of(disk, track));
    return true;
}

bool d64_count_free_sectors(const d64_disk* disk, int32_t* total) {
    if (disk == nullptr || total == nullptr) {
        return false;
    }
    const d64s_format& row = d64s_row(disk);
    *total = 0;
    for (int32_t track = 1; track <= disk->track_count; ++track) {
        // The directory track (and a 1571's second BAM track) never counts as free space.
        if (track != row.excluded_tracks[0] && track != row.excluded_tracks[1]) {
            *total += free_count_of(bam_entry_of(disk, track));
        }
    }
    return true;
}

bool d64_detect_bam_layout(const d64_disk* disk, d64_bam_layout* layout, int32_t* free_blocks) {
    if (disk == nullptr || layout == nullptr || free_blocks == nullptr) {
        return false;
    }
    if (!d64s_row(disk).extended_bam || disk->track_count < k_first_extended_track) {
        *layout = D64_BAM_LAYOUT_NONE;
        return true;
    }
    const extended_layout* chosen = chosen_layout(disk);
    if (chosen == nullptr) {
        *layout = D64_BAM_LAYOUT_UNKNOWN;
        return true;
    }
    *layout = chosen->layout;
    return d64_count_free_sectors(disk, free_blocks);
}
