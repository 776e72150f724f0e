// The walk along a file's chain of data sectors, and the counts and export built on it.
#include "chain.h"

#include "geometry.h"

#include <cstdio>

namespace {

constexpr int32_t k_full_payload = k_sector_size - k_payload_offset;

} // namespace

int32_t d64s_payload_length(const uint8_t* sector) {
    return sector[0] != 0 ? k_full_payload : int32_t{sector[1]} - 1;
}

bool d64s_prg_file_bump_sector_count(const uint8_t*, void* context) {
    *static_cast<int32_t*>(context) += 1;
    return true;
}

bool d64s_prg_file_add_size_bytes(const uint8_t* sector, void* context) {
    *static_cast<int32_t*>(context) += d64s_payload_length(sector);
    return true;
}

bool d64s_prg_file_export(const uint8_t* sector, void* context) {
    const int32_t length = d64s_payload_length(sector);
    if (length <= 0) {
        return true; // a last sector that carries no payload
    }
    const auto wanted = static_cast<size_t>(length);
    return std::fwrite(sector + k_payload_offset, 1, wanted, static_cast<FILE*>(context)) == wanted;
}

bool d64_file_sector_foreach(d64_sector_visitor visitor, const d64_disk* disk,
                             const d64_dir_entry* entry, void* context) {
    if (disk == nullptr || entry == nullptr || context == nullptr) {
        return false;
    }
    uint8_t type = 0;
    if (!d64_get_file_type(entry, &type) || type == 0) {
        return false; // invalid type code, or an empty or scratched slot
    }
    int32_t track = 0;
    int32_t sector = 0;
    if (!d64_get_file_first_track_and_sector(disk, entry, &track, &sector)) {
        return false;
    }
    // No chain can be longer than the image has sectors: that bound ends loops.
    const int32_t visit_limit = d64s_disk_sectors(disk);
    int32_t visits = 0;
    while (d64_are_track_and_sector_valid(disk, track, sector) && visits < visit_limit) {
        ++visits;
        const uint8_t* data = d64s_sector(disk, track, sector);
        const int32_t next_track = data[0];
        const int32_t next_sector = data[1];
        if (!visitor(data, context)) {
            return false;
        }
        track = next_track;
        sector = next_sector;
    }
    return track == 0 && visits < visit_limit;
}

bool d64_calculate_file_size_sectors(const d64_disk* disk, const d64_dir_entry* entry,
                                     int32_t* count) {
    if (disk == nullptr || entry == nullptr || count == nullptr) {
        return false;
    }
    *count = 0;
    return d64_file_sector_foreach(d64s_prg_file_bump_sector_count, disk, entry, count);
}

bool d64_calculate_file_size_bytes(const d64_disk* disk, const d64_dir_entry* entry,
                                   int32_t* total) {
    if (disk == nullptr || entry == nullptr || total == nullptr) {
        return false;
    }
    *total = 0;
    return d64_file_sector_foreach(d64s_prg_file_add_size_bytes, disk, entry, total);
}

bool d64_export_file(const d64_disk* disk, const d64_dir_entry* entry, FILE* stream) {
    if (disk == nullptr || entry == nullptr || stream == nullptr) {
        return false;
    }
    return d64_file_sector_foreach(d64s_prg_file_export, disk, entry, stream);
}
