// T64: a tape container of the C64 emulators: a directory of slots, each naming a
// file and where its data lies in the container.
#include "container.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint8_t k_shifted_space = D64_SHIFTED_SPACE;
constexpr int32_t k_name_length = D64_NAME_LENGTH;

// Bytes 0-31 a signature starting "C64", 0x20 version, 0x22 directory slots, 0x24
// used entries (often wrong), 0x28-0x3F the container's name; slots of 32 bytes from
// 0x40: +0 entry type (0 free, 1 a file, 3 a memory snapshot), +1 the C64 file type
// byte, +2 start (load) address, +4 end address (one past the last byte), +8 the
// data's offset in the file, +16 the name (16 bytes, padded with spaces). The data
// holds no load address.
constexpr uint64_t k_t64_directory = 0x40;
constexpr uint64_t k_t64_slot = 32;

struct t64_slot {
    const uint8_t* at;
    bool used() const {
        return at[0] != 0;
    }
    uint64_t offset() const {
        return d64s_le32(at + 8);
    }
};

// Where each used entry's data starts, with its slot, sorted by offset and slot: the
// data that follows an offset runs up to the next higher one (or the file's end),
// and the first entry at an offset owns the data that starts there. Sorted once, so
// that 65,535 entries cost no more than their number.
struct placed {
    uint64_t offset;
    int32_t slot; // from 1
    bool operator<(const placed& other) const {
        return offset != other.offset ? offset < other.offset : slot < other.slot;
    }
};

struct offsets {
    const placed* sorted;
    int32_t count;
    uint64_t size;

    uint64_t next_after(uint64_t offset) const {
        const placed* next = std::upper_bound(sorted, sorted + count, placed{offset, INT32_MAX});
        return next != sorted + count && next->offset < size ? next->offset : size;
    }
    // The slot of the first entry whose data starts at `offset`.
    int32_t owner_of(uint64_t offset) const {
        return std::lower_bound(sorted, sorted + count, placed{offset, 0})->slot;
    }
};

// A name of 16 bytes whose trailing spaces and zeros pad it, as shifted spaces do a
// disk directory's names.
void padded_name(const uint8_t* raw, uint8_t* name) {
    std::memcpy(name, raw, k_name_length);
    for (int32_t i = k_name_length - 1; i >= 0 && (name[i] == ' ' || name[i] == 0); --i) {
        name[i] = k_shifted_space;
    }
}

void read_t64_file(const uint8_t* file, uint64_t size, const offsets& data, int32_t index,
                   d64_container_file& out) {
    const t64_slot slot{file + k_t64_directory + k_t64_slot * static_cast<uint64_t>(index)};
    out.slot = index + 1;
    out.copies_ok = -1;
    padded_name(slot.at + 16, out.name);
    if (slot.at[0] != 1 && slot.at[0] != 3) {
        out.problems |= 1U << D64_PROBLEM_UNKNOWN_ENTRY_TYPE;
    }
    // 0x00 and 0x01 are found for programs in the wild; a code above 4 is no type.
    out.type = slot.at[1];
    if (out.type == 0x00 || out.type == 0x01 || (out.type & D64_TYPE_MASK) > 4) {
        out.problems |= 1U << D64_PROBLEM_FILE_TYPE_BYTE;
        out.type = k_closed_prg;
    }
    out.type |= D64_CLOSED_FLAG;
    out.has_load_address = (out.type & D64_TYPE_MASK) == (k_closed_prg & D64_TYPE_MASK);
    // Every slot gives both addresses, whatever the file's type.
    out.has_addresses = true;
    out.load_address = static_cast<uint16_t>(d64s_le16(slot.at + 2));
    out.end_address = static_cast<uint16_t>(d64s_le16(slot.at + 4));
    const uint64_t offset = slot.offset();
    if (offset < k_t64_directory || offset >= size) {
        out.problems |= 1U << D64_PROBLEM_OFFSET_OUTSIDE;
        return;
    }
    // End addresses are often wrong (converters wrote 0xC3C6, or the start address):
    // the claimed size counts when it fits the bytes the file has, else those bytes.
    const uint64_t span = data.next_after(offset) - offset;
    const int64_t claimed = int64_t{out.end_address} - int64_t{out.load_address};
    uint64_t length = static_cast<uint64_t>(claimed);
    if (claimed <= 0 || length > span) {
        out.problems |= 1U << D64_PROBLEM_END_ADDRESS_WRONG;
        length = span;
    }
    // The second entry and those after it at one offset overlap the first: their
    // data is the first's, read, hashed and written once.
    const int32_t owner = data.owner_of(offset);
    if (owner != out.slot) {
        out.problems |= 1U << D64_PROBLEM_OVERLAP;
        out.shares_data_of = owner;
    }
    out.data = file + offset;
    out.data_size = length;
}

const uint8_t* slot_at(const uint8_t* file, int32_t index) {
    return file + k_t64_directory + k_t64_slot * static_cast<uint64_t>(index);
}

} // namespace

d64s_open_result d64s_open_t64(const uint8_t* file, uint64_t size, d64s_container** out) {
    // A T64 holds its version and at least one directory slot.
    if (size < k_t64_directory + k_t64_slot || std::memcmp(file, "C64", 3) != 0) {
        return d64s_open_result::not_recognised;
    }
    // The slots read are the more of those claimed and the used entries claimed (a
    // slot count of 0 is found in the wild), but none past the first data.
    const int32_t claimed = static_cast<int32_t>(d64s_le16(file + 0x22));
    const int32_t used_claimed = static_cast<int32_t>(d64s_le16(file + 0x24));
    const auto room = static_cast<int32_t>(
        std::min<uint64_t>((size - k_t64_directory) / k_t64_slot, uint64_t{0xFFFF}));
    int32_t slots = std::min(std::max(claimed, used_claimed), room);
    uint64_t first_data = size;
    for (int32_t i = 0; i < slots; ++i) {
        const t64_slot slot{slot_at(file, i)};
        if (slot.used() && slot.offset() >= k_t64_directory && slot.offset() < first_data) {
            first_data = slot.offset();
        }
    }
    slots =
        std::min<int32_t>(slots, static_cast<int32_t>((first_data - k_t64_directory) / k_t64_slot));
    int32_t used = 0;
    int32_t last_used = -1;
    for (int32_t i = 0; i < slots; ++i) {
        if (t64_slot{slot_at(file, i)}.used()) {
            ++used;
            last_used = i;
        }
    }
    d64s_container* handle = d64s_new_container(file, size, D64_CONTAINER_T64, used, 0);
    auto* sorted =
        handle != nullptr
            ? static_cast<placed*>(std::malloc(sizeof(placed) * static_cast<size_t>(used + 1)))
            : nullptr;
    if (sorted == nullptr) {
        d64_close_container(handle != nullptr ? &handle->container : nullptr);
        *out = nullptr;
        return d64s_open_result::failed;
    }
    d64_container_info& info = handle->info;
    info.version = static_cast<int32_t>(d64s_le16(file + 0x20));
    info.slots = slots;
    info.slots_claimed = claimed;
    info.used_claimed = used_claimed;
    std::memcpy(info.name, file + 0x28, 24);
    info.name_length = 24;
    if (info.used_claimed != used) {
        info.problems |= 1U << D64_PROBLEM_USED_ENTRIES_WRONG;
    }
    if (last_used >= claimed) {
        info.problems |= 1U << D64_PROBLEM_SLOT_COUNT_WRONG;
    }
    int32_t count = 0;
    for (int32_t i = 0; i < slots; ++i) {
        const t64_slot slot{slot_at(file, i)};
        if (slot.used()) {
            sorted[count++] = {slot.offset(), i + 1};
        }
    }
    std::sort(sorted, sorted + count);
    const offsets data{sorted, count, size};
    int32_t next = 0;
    uint64_t listed = 0;
    for (int32_t i = 0; i < slots; ++i) {
        if (t64_slot{slot_at(file, i)}.used()) {
            d64_container_file& entry = handle->files[next++];
            read_t64_file(file, size, data, i, entry);
            listed += entry.data_size;
        }
    }
    // Entries that share data claim it again: more than the container holds.
    if (listed > size) {
        info.problems |= 1U << D64_PROBLEM_CLAIMS_EXCEED_SIZE;
    }
    std::free(sorted);
    *out = handle;
    return d64s_open_result::opened;
}
