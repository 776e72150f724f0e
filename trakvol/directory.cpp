// Directory walk: a chain of sectors on the directory track (18, 40 on a 1581, 39 on
// an 8050 or 8250), eight 32-byte slots each.
#include "geometry.h"

#include <cstring>

static_assert(sizeof(d64_dir_entry) == 32, "a directory slot is 32 bytes");

namespace {

constexpr uint8_t k_last_entry_index = 7;
constexpr uint8_t k_type_code_mask = 0x3F;
constexpr uint8_t k_type_code_count = 5; // del, seq, prg, usr, rel

const d64_dir_entry* entry_at(const d64_disk* disk, int32_t track, int32_t sector, int32_t index) {
    return reinterpret_cast<const d64_dir_entry*>(d64s_sector(disk, track, sector)) + index;
}

} // namespace

bool d64_first_dir_entry(const d64_disk* disk, d64_dir_cursor* cursor,
                         const d64_dir_entry** entry) {
    if (disk == nullptr || cursor == nullptr || entry == nullptr) {
        return false;
    }
    // The walk always starts at the first directory sector; the header's own link
    // to it is not used.
    const d64s_place& first = d64s_row(disk).directory;
    cursor->track = static_cast<uint8_t>(first.track);
    cursor->sector = static_cast<uint8_t>(first.sector);
    cursor->entry_index = 0;
    *entry = entry_at(disk, cursor->track, cursor->sector, 0);
    return true;
}

bool d64_next_dir_entry(const d64_disk* disk, d64_dir_cursor* cursor, const d64_dir_entry** entry) {
    if (disk == nullptr || cursor == nullptr || entry == nullptr) {
        return false;
    }
    // A cursor that the walk did not produce could address memory outside the image.
    if (!d64_are_track_and_sector_valid(disk, cursor->track, cursor->sector)) {
        return false;
    }
    if (cursor->entry_index < k_last_entry_index) {
        ++cursor->entry_index;
        *entry = entry_at(disk, cursor->track, cursor->sector, cursor->entry_index);
        return true;
    }
    // Bytes 0 and 1 of a directory sector link to the next one. Track 0 ends the
    // chain; so does a link off the directory track or to a sector it does not have.
    const uint8_t* current = d64s_sector(disk, cursor->track, cursor->sector);
    const int32_t next_track = current[0];
    const int32_t next_sector = current[1];
    if (next_track != d64s_row(disk).directory.track ||
        !d64_are_track_and_sector_valid(disk, next_track, next_sector)) {
        return false;
    }
    cursor->track = static_cast<uint8_t>(next_track);
    cursor->sector = static_cast<uint8_t>(next_sector);
    cursor->entry_index = 0;
    *entry = entry_at(disk, next_track, next_sector, 0);
    return true;
}

bool d64_get_file_name(const d64_dir_entry* entry, char* name) {
    if (entry == nullptr) {
        return false;
    }
    std::memcpy(name, entry->name, sizeof entry->name);
    name[sizeof entry->name] = '\0';
    return true;
}

bool d64_get_file_type(const d64_dir_entry* entry, uint8_t* type) {
    if (entry == nullptr || type == nullptr) {
        return false;
    }
    *type = entry->type;
    // The locked (bit 6) and closed (bit 7) flags play no part in validity.
    return (entry->type & k_type_code_mask) < k_type_code_count;
}

bool d64_get_file_type_on_disk(const d64_disk* disk, const d64_dir_entry* entry, uint8_t* type) {
    if (disk == nullptr || entry == nullptr || type == nullptr) {
        return false;
    }
    *type = entry->type;
    // A 1581 also knows code 5, a partition.
    return (entry->type & k_type_code_mask) <= d64s_row(disk).max_type_code;
}

bool d64_get_file_size_sectors(const d64_dir_entry* entry, int32_t* size) {
    if (entry == nullptr || size == nullptr) {
        return false;
    }
    *size = entry->size_lo + 256 * entry->size_hi;
    return true;
}

bool d64_get_file_first_track_and_sector(const d64_disk* disk, const d64_dir_entry* entry,
                                         int32_t* track, int32_t* sector) {
    if (disk == nullptr || entry == nullptr || track == nullptr || sector == nullptr) {
        return false;
    }
    *track = entry->first_track;
    *sector = entry->first_sector;
    return d64_are_track_and_sector_valid(disk, *track, *sector);
}

bool d64_foreach_dir_entry(const d64_disk* disk, d64_dir_entry_visitor visitor, void* context) {
    if (disk == nullptr || visitor == nullptr) {
        return false;
    }
    // The directory track has room for this many slots: no walk needs more, and a
    // chain that loops ends there.
    const int32_t slot_limit = d64s_row(disk).max_directory_slots;
    d64_dir_cursor cursor{};
    const d64_dir_entry* entry = nullptr;
    d64_first_dir_entry(disk, &cursor, &entry);
    int32_t slot = 0;
    do {
        if (!visitor(entry, ++slot, context)) {
            return false;
        }
    } while (slot < slot_limit && d64_next_dir_entry(disk, &cursor, &entry));
    return true;
}

bool d64_file_type_name(uint8_t type, const char** name) {
    // Codes 0-4 of every format; 5 is a 1581's partition.
    static const char* const names[] = {"del", "seq", "prg", "usr", "rel", "cbm"};
    const uint8_t code = type & k_type_code_mask;
    if (name == nullptr || code >= sizeof names / sizeof names[0]) {
        return false;
    }
    *name = names[code];
    return true;
}
