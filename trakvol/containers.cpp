// Tapes, cartridges and loose files: the T64, P00, PRG and CRT readers, and what
// every container shares (its handle, the file walk, the names of problems, types and
// machines). The TAP reader is tap.cpp.
#include "container.h"

#include <nettle/md5.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint8_t k_shifted_space = D64_SHIFTED_SPACE;
constexpr uint8_t k_prg = 0x82; // a closed PRG, as a directory entry's type byte
constexpr int32_t k_name_length = D64_NAME_LENGTH;

// ---------------------------------------------------------------------------
// The formats, their problems and names, as tables
// ---------------------------------------------------------------------------

constexpr d64_container_facts k_facts[] = {
    {D64_CONTAINER_T64, "t64", ".t64", "Commodore 64 tape container", "C64", uint64_t{16} << 20},
    {D64_CONTAINER_TAP, "tap", ".tap", "Commodore tape recording (pulses)", "C64-TAPE-RAW",
     uint64_t{64} << 20},
    {D64_CONTAINER_P00, "p00", ".p00-.p99 .s00-.s99 .u00-.u99 .r00-.r99 .d00-.d99", "PC64 file",
     "C64File", uint64_t{1} << 20},
    {D64_CONTAINER_PRG, "prg", ".prg", "Commodore program file", nullptr, uint64_t{1} << 20},
    {D64_CONTAINER_CRT, "crt", ".crt", "Commodore cartridge", "C64 CARTRIDGE", uint64_t{32} << 20},
};
static_assert(sizeof k_facts / sizeof k_facts[0] == D64_CONTAINER_FORMAT_COUNT);

struct problem_row {
    const char* name;
    d64_check_severity severity;
};
constexpr problem_row k_problems[] = {
    {"end_address_wrong", D64_CHECK_WARNING},  {"used_entries_wrong", D64_CHECK_WARNING},
    {"offset_outside", D64_CHECK_ERROR},       {"overlap", D64_CHECK_WARNING},
    {"unknown_entry_type", D64_CHECK_WARNING}, {"file_type_byte", D64_CHECK_WARNING},
    {"length_mismatch", D64_CHECK_WARNING},    {"truncated", D64_CHECK_ERROR},
    {"no_good_copy", D64_CHECK_ERROR},         {"one_good_copy", D64_CHECK_WARNING},
    {"unknown_extension", D64_CHECK_WARNING},  {"half_waves", D64_CHECK_WARNING},
};
static_assert(sizeof k_problems / sizeof k_problems[0] == D64_PROBLEM_COUNT);

// A CRT's signature names its machine.
struct cartridge_machine {
    const char* signature; // 16 bytes
    const char* name;
};
constexpr cartridge_machine k_cartridge_machines[] = {
    {"C64 CARTRIDGE   ", "C64"},    {"C128 CARTRIDGE  ", "C128"},   {"VIC20 CARTRIDGE ", "VIC-20"},
    {"PLUS4 CARTRIDGE ", "Plus/4"}, {"CBM2 CARTRIDGE  ", "CBM-II"},
};
constexpr const char* k_tape_machines[] = {"C64", "VIC-20", "C16/Plus/4",
                                           "PET", "C5x0",   "C6x0/C7x0"};
constexpr const char* k_tape_videos[] = {"PAL", "NTSC", "old NTSC", "PAL-N"};
constexpr const char* k_chip_types[] = {"rom", "ram", "flash", "eeprom"};

// The numbered hardware types of C64 cartridges, as VICE's cartconv lists them.
struct cartridge_type {
    int32_t number;
    const char* name;
};
constexpr cartridge_type k_cartridge_types[] = {
    {0, "Normal cartridge"},
    {1, "Action Replay V5"},
    {2, "KCS Power Cartridge"},
    {3, "The Final Cartridge III"},
    {4, "Simons' BASIC"},
    {5, "Ocean"},
    {6, "Expert Cartridge"},
    {7, "Fun Play"},
    {8, "Super Games"},
    {9, "Atomic Power"},
    {10, "Epyx FastLoad"},
    {11, "Westermann Learning"},
    {12, "REX Utility"},
    {13, "The Final Cartridge"},
    {14, "Magic Formel"},
    {15, "C64 Games System"},
    {16, "Warp Speed"},
    {17, "Dinamic"},
    {18, "Zaxxon"},
    {19, "Magic Desk"},
    {20, "Super Snapshot V5"},
    {21, "Comal 80"},
    {22, "Structured BASIC"},
    {23, "ROSS"},
    {24, "Dela EP64"},
    {25, "Dela EP7x8"},
    {26, "Dela EP256"},
    {27, "REX 256K EPROM Cart"},
    {28, "Mikro Assembler"},
    {29, "Final Cartridge Plus"},
    {30, "Action Replay MK4"},
    {31, "Stardos"},
    {32, "EasyFlash"},
    {34, "Capture"},
    {35, "Action Replay MK3"},
    {36, "Retro Replay"},
    {37, "MMC64"},
    {38, "MMC Replay"},
    {39, "IDE64"},
    {40, "Super Snapshot V4"},
    {41, "IEEE-488 Interface"},
    {42, "Game Killer"},
    {43, "Prophet64"},
    {44, "EXOS"},
    {45, "Freeze Frame"},
    {46, "Freeze Machine"},
    {47, "Snapshot 64"},
    {48, "Super Explode V5.0"},
    {49, "Magic Voice"},
    {50, "Action Replay MK2"},
    {51, "MACH 5"},
    {52, "Diashow-Maker"},
    {53, "Pagefox"},
    {54, "Kingsoft"},
    {55, "Silverrock 128KiB Cartridge"},
    {56, "Formel 64"},
    {57, "RGCD"},
    {58, "RR-Net MK3"},
    {59, "Easy Calc Result"},
    {60, "GMod2"},
    {61, "MAX Basic"},
    {62, "GMod3"},
    {63, "ZIPP-CODE 48"},
    {64, "Blackbox V8"},
    {65, "Blackbox V3"},
    {66, "Blackbox V4"},
    {67, "REX RAM-Floppy"},
    {68, "BIS-Plus"},
    {69, "SD-BOX"},
    {70, "MultiMAX"},
    {71, "Blackbox V9"},
    {72, "Lt. Kernal Host Adaptor"},
    {73, "RAMLink"},
    {74, "Drean"},
    {75, "IEEE Flash! 64"},
    {76, "HES Turtle Graphics II"},
    {77, "Freeze Frame MK2"},
    {78, "Partner 64"},
};

// PC64 files: the extension's letter names the type.
struct pc64_letter {
    char letter;
    uint8_t type;
};
constexpr pc64_letter k_pc64_letters[] = {
    {'p', 0x82}, {'s', 0x81}, {'u', 0x83}, {'r', 0x84}, {'d', 0x80}};

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// The letter of a PC64 extension (".P00", ".s17"), or 0.
char pc64_letter_of(const char* extension) {
    return std::strlen(extension) == 3 && is_digit(extension[1]) && is_digit(extension[2])
               ? lower(extension[0])
               : '\0';
}

bool extension_is(const char* extension, const char* wanted) {
    for (; *extension != '\0' && *wanted != '\0'; ++extension, ++wanted) {
        if (lower(*extension) != *wanted) {
            return false;
        }
    }
    return *extension == '\0' && *wanted == '\0';
}

template <class T, size_t n> constexpr size_t count_of(const T (&)[n]) {
    return n;
}

// ---------------------------------------------------------------------------
// T64
// ---------------------------------------------------------------------------

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

// The data offsets of the used entries, sorted: the data that follows an offset
// starts at the next higher one (or the file ends), so the bytes a file really has
// run up to it. Sorted once, so that 65,535 entries cost no more than their number.
struct offsets {
    const uint64_t* sorted;
    int32_t count;
    uint64_t size;

    uint64_t next_after(uint64_t offset) const {
        const uint64_t* next = std::upper_bound(sorted, sorted + count, offset);
        return next != sorted + count && *next < size ? *next : size;
    }
    // The position of the first entry at `offset` in the sorted list.
    int32_t first_at(uint64_t offset) const {
        return static_cast<int32_t>(std::lower_bound(sorted, sorted + count, offset) - sorted);
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
                   bool* offset_taken, d64_container_file& out) {
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
        out.type = k_prg;
    }
    out.type |= D64_CLOSED_FLAG;
    out.has_load_address = (out.type & D64_TYPE_MASK) == (k_prg & D64_TYPE_MASK);
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
    // The second entry and those after it at one offset overlap the first.
    bool& taken = offset_taken[data.first_at(offset)];
    if (taken) {
        out.problems |= 1U << D64_PROBLEM_OVERLAP;
    }
    taken = true;
    out.data = file + offset;
    out.data_size = length;
}

} // namespace

d64s_open_result d64s_open_t64(const uint8_t* file, uint64_t size, d64s_container** out) {
    if (size < k_t64_directory || std::memcmp(file, "C64", 3) != 0) {
        return d64s_open_result::not_recognised;
    }
    // The slots are the fewer of those claimed and those before the first data.
    const int32_t claimed = static_cast<int32_t>(d64s_le16(file + 0x22));
    const auto room = static_cast<int32_t>(
        std::min<uint64_t>((size - k_t64_directory) / k_t64_slot, uint64_t{0xFFFF}));
    int32_t slots = std::min(claimed, room);
    uint64_t first_data = size;
    for (int32_t i = 0; i < slots; ++i) {
        const t64_slot slot{file + k_t64_directory + k_t64_slot * static_cast<uint64_t>(i)};
        if (slot.used() && slot.offset() >= k_t64_directory && slot.offset() < first_data) {
            first_data = slot.offset();
        }
    }
    slots =
        std::min<int32_t>(slots, static_cast<int32_t>((first_data - k_t64_directory) / k_t64_slot));
    int32_t used = 0;
    for (int32_t i = 0; i < slots; ++i) {
        used += file[k_t64_directory + k_t64_slot * static_cast<uint64_t>(i)] != 0 ? 1 : 0;
    }
    d64s_container* handle = d64s_new_container(file, size, D64_CONTAINER_T64, used, 0);
    if (handle == nullptr) {
        *out = nullptr;
        return d64s_open_result::failed;
    }
    d64_container_info& info = handle->info;
    info.version = static_cast<int32_t>(d64s_le16(file + 0x20));
    info.slots = slots;
    info.slots_claimed = claimed;
    info.used_claimed = static_cast<int32_t>(d64s_le16(file + 0x24));
    std::memcpy(info.name, file + 0x28, 24);
    info.name_length = 24;
    if (info.used_claimed != used) {
        info.problems |= 1U << D64_PROBLEM_USED_ENTRIES_WRONG;
    }
    auto* sorted =
        static_cast<uint64_t*>(std::malloc(sizeof(uint64_t) * static_cast<size_t>(used + 1)));
    auto* taken = static_cast<bool*>(std::calloc(static_cast<size_t>(used + 1), sizeof(bool)));
    if (sorted == nullptr || taken == nullptr) {
        std::free(sorted);
        std::free(taken);
        d64_close_container(&handle->container);
        *out = nullptr;
        return d64s_open_result::failed;
    }
    int32_t count = 0;
    for (int32_t i = 0; i < slots; ++i) {
        const t64_slot slot{file + k_t64_directory + k_t64_slot * static_cast<uint64_t>(i)};
        if (slot.used()) {
            sorted[count++] = slot.offset();
        }
    }
    std::sort(sorted, sorted + count);
    const offsets data{sorted, count, size};
    int32_t next = 0;
    for (int32_t i = 0; i < slots; ++i) {
        if (file[k_t64_directory + k_t64_slot * static_cast<uint64_t>(i)] != 0) {
            read_t64_file(file, size, data, i, taken, handle->files[next++]);
        }
    }
    std::free(sorted);
    std::free(taken);
    *out = handle;
    return d64s_open_result::opened;
}

// ---------------------------------------------------------------------------
// P00 and PRG: one file
// ---------------------------------------------------------------------------

namespace {

// Bytes 0-7 "C64File" and a zero, 8-23 the C64 name (padded with zeros), 24 a zero,
// 25 a REL file's record length, then the file as a disk holds it.
constexpr char k_pc64_signature[] = "C64File";
constexpr uint64_t k_pc64_header = 26;

// The one file of a P00 or PRG: `bytes` as a disk holds them, typed `type`.
void read_whole_file(const uint8_t* bytes, uint64_t count, uint8_t type, d64_container_file& out) {
    out.slot = 1;
    out.copies_ok = -1;
    out.type = type;
    out.has_load_address = (type & D64_TYPE_MASK) == (k_prg & D64_TYPE_MASK);
    if (!out.has_load_address) {
        out.data = bytes;
        out.data_size = count;
        return;
    }
    if (count < 2) {
        out.problems |= 1U << D64_PROBLEM_TRUNCATED;
        out.has_load_address = false;
        return;
    }
    out.load_address = static_cast<uint16_t>(d64s_le16(bytes));
    out.data = bytes + 2;
    out.data_size = count - 2;
    out.end_address = static_cast<uint16_t>(out.load_address + out.data_size);
}

// A file name's stem (without folder and extension) as a PETSCII name: letters as
// the C64 types them, other printable ASCII as it is, anything else '?'.
void name_of_file(const char* name, uint8_t* out) {
    std::memset(out, k_shifted_space, k_name_length);
    if (name == nullptr) {
        return;
    }
    const char* slash = std::strrchr(name, '/');
    const char* stem = slash != nullptr ? slash + 1 : name;
    const char* dot = std::strrchr(stem, '.');
    const size_t length = dot != nullptr ? static_cast<size_t>(dot - stem) : std::strlen(stem);
    for (size_t i = 0; i < length && i < static_cast<size_t>(k_name_length); ++i) {
        const char c = stem[i];
        out[i] = static_cast<uint8_t>(c >= 'a' && c <= 'z'   ? c - ('a' - 'A')
                                      : c >= ' ' && c <= '~' ? c
                                                             : '?');
    }
}

} // namespace

d64s_open_result d64s_open_p00(const uint8_t* file, uint64_t size, const char* name,
                               d64s_container** out) {
    if (size < k_pc64_header || std::memcmp(file, k_pc64_signature, sizeof k_pc64_signature) != 0) {
        return d64s_open_result::not_recognised;
    }
    d64s_container* handle = d64s_new_container(file, size, D64_CONTAINER_P00, 1, 0);
    if (handle == nullptr) {
        *out = nullptr;
        return d64s_open_result::failed;
    }
    d64_container_info& info = handle->info;
    std::memcpy(info.name, file + 8, k_name_length);
    info.name_length = k_name_length;
    info.record_length = file[25];
    const char letter = pc64_letter_of(d64s_extension(name));
    uint8_t type = 0;
    for (const pc64_letter& row : k_pc64_letters) {
        type = row.letter == letter ? row.type : type;
    }
    d64_container_file& only = handle->files[0];
    if (type == 0) {
        only.problems |= 1U << D64_PROBLEM_UNKNOWN_EXTENSION;
        type = k_prg;
    }
    read_whole_file(file + k_pc64_header, size - k_pc64_header, type, only);
    std::memcpy(only.name, file + 8, k_name_length);
    *out = handle;
    return d64s_open_result::opened;
}

d64s_open_result d64s_open_prg(const uint8_t* file, uint64_t size, const char* name,
                               d64s_container** out) {
    if (size < 2 || !extension_is(d64s_extension(name), "prg")) {
        return d64s_open_result::not_recognised;
    }
    d64s_container* handle = d64s_new_container(file, size, D64_CONTAINER_PRG, 1, 0);
    if (handle == nullptr) {
        *out = nullptr;
        return d64s_open_result::failed;
    }
    read_whole_file(file, size, k_prg, handle->files[0]);
    name_of_file(name, handle->files[0].name);
    *out = handle;
    return d64s_open_result::opened;
}

// ---------------------------------------------------------------------------
// CRT
// ---------------------------------------------------------------------------

namespace {

// Bytes 0-15 the signature, 16 the header's length (big-endian, at least 0x40), 20
// the version, 22 the hardware type, 24 EXROM, 25 GAME, 26 the hardware revision,
// 32-63 the name (zero-padded). From the header's length on, CHIP packets: "CHIP",
// the packet's length (with its 16-byte header), chip type, bank, load address and
// data size (big-endian 16-bit each), then the data.
constexpr uint64_t k_crt_header = 0x40;
constexpr uint64_t k_chip_header = 16;
constexpr char k_chip_signature[] = "CHIP";

// Walks the CHIP packets; `visit` gets each whole one. False when a packet is cut
// short or no packet: the walk ends there.
template <class Visit> bool walk_chips(const uint8_t* file, uint64_t size, Visit&& visit) {
    uint64_t at = std::max<uint64_t>(k_crt_header, d64s_be32(file + 16));
    while (at < size) {
        if (size - at < k_chip_header || std::memcmp(file + at, k_chip_signature, 4) != 0) {
            return false;
        }
        const uint64_t length = d64s_be32(file + at + 4);
        const uint32_t data_size = d64s_be16(file + at + 14);
        if (length < k_chip_header || length > size - at || data_size > length - k_chip_header) {
            return false;
        }
        visit(d64_cartridge_chip{static_cast<int32_t>(d64s_be16(file + at + 8)),
                                 static_cast<int32_t>(d64s_be16(file + at + 10)),
                                 static_cast<uint16_t>(d64s_be16(file + at + 12)),
                                 static_cast<uint16_t>(data_size), file + at + k_chip_header});
        at += length;
    }
    return true;
}

} // namespace

d64s_open_result d64s_open_crt(const uint8_t* file, uint64_t size, d64s_container** out) {
    int32_t machine = -1;
    for (size_t i = 0; i < count_of(k_cartridge_machines); ++i) {
        if (size >= k_crt_header && std::memcmp(file, k_cartridge_machines[i].signature, 16) == 0) {
            machine = static_cast<int32_t>(i);
        }
    }
    if (machine < 0) {
        return d64s_open_result::not_recognised;
    }
    int32_t chips = 0;
    const bool whole = walk_chips(file, size, [&](const d64_cartridge_chip&) { ++chips; });
    d64s_container* handle = d64s_new_container(file, size, D64_CONTAINER_CRT, 0, chips);
    if (handle == nullptr) {
        *out = nullptr;
        return d64s_open_result::failed;
    }
    d64_container_info& info = handle->info;
    info.machine = machine;
    info.version = static_cast<int32_t>(d64s_be16(file + 20));
    info.hardware_type = static_cast<int32_t>(d64s_be16(file + 22));
    info.exrom = file[24];
    info.game = file[25];
    info.revision = file[26];
    std::memcpy(info.name, file + 32, 32);
    info.name_length = 32;
    info.file_count = chips;
    if (!whole || d64s_be32(file + 16) < k_crt_header) {
        info.problems |= 1U << D64_PROBLEM_TRUNCATED;
    }
    int32_t next = 0;
    walk_chips(file, size, [&](const d64_cartridge_chip& chip) { handle->chips[next++] = chip; });
    *out = handle;
    return d64s_open_result::opened;
}

// ---------------------------------------------------------------------------
// What every container shares
// ---------------------------------------------------------------------------

const char* d64s_extension(const char* name) {
    if (name == nullptr) {
        return "";
    }
    const char* slash = std::strrchr(name, '/');
    const char* dot = std::strrchr(slash != nullptr ? slash : name, '.');
    return dot != nullptr ? dot + 1 : "";
}

d64s_container* d64s_new_container(const uint8_t* file, uint64_t size, int32_t format,
                                   int32_t files, int32_t chips) {
    const size_t bytes = sizeof(d64s_container) +
                         sizeof(d64_container_file) * static_cast<size_t>(files) +
                         sizeof(d64_cartridge_chip) * static_cast<size_t>(chips);
    auto* handle = static_cast<d64s_container*>(std::calloc(1, bytes));
    if (handle == nullptr) {
        return nullptr;
    }
    handle->container = {file, size, format};
    handle->info.format = format;
    handle->info.file_count = files;
    handle->files = reinterpret_cast<d64_container_file*>(handle + 1);
    handle->chips = reinterpret_cast<d64_cartridge_chip*>(handle->files + files);
    return handle;
}

bool d64_get_container_facts(int32_t format, d64_container_facts* facts) {
    if (facts == nullptr || format < 0 || format >= D64_CONTAINER_FORMAT_COUNT) {
        return false;
    }
    *facts = k_facts[format];
    return true;
}

bool d64_container_format_of_name(const char* name, int32_t* format) {
    if (name == nullptr || format == nullptr) {
        return false;
    }
    const char* extension = d64s_extension(name);
    // A disk's extension (.d64, .d71, .d80, ...) is no PC64 one, though it looks like one.
    for (int32_t code = 0; code < D64_FORMAT_COUNT; ++code) {
        d64_format_facts disk{};
        if (d64_get_format_facts(code, &disk) && extension_is(extension, disk.name)) {
            return false;
        }
    }
    for (const d64_container_facts& facts : k_facts) {
        if (facts.format != D64_CONTAINER_P00 && extension_is(extension, facts.name)) {
            *format = facts.format;
            return true;
        }
    }
    const char letter = pc64_letter_of(extension);
    for (const pc64_letter& row : k_pc64_letters) {
        if (row.letter == letter) {
            *format = D64_CONTAINER_P00;
            return true;
        }
    }
    return false;
}

bool d64_container_problem_name(int32_t problem, const char** name, int32_t* severity) {
    if (name == nullptr || severity == nullptr || problem < 0 || problem >= D64_PROBLEM_COUNT) {
        return false;
    }
    *name = k_problems[problem].name;
    *severity = k_problems[problem].severity;
    return true;
}

bool d64_open_container(d64_container** out, const uint8_t* file, uint64_t size, const char* name,
                        d64_container_format* format) {
    if (out == nullptr || file == nullptr) {
        return false;
    }
    // By signature first (CRT, TAP, P00, T64), then a PRG by its name.
    d64s_container* handle = nullptr;
    d64s_open_result result = d64s_open_crt(file, size, &handle);
    if (result == d64s_open_result::not_recognised) {
        result = d64s_open_tap(file, size, &handle);
    }
    if (result == d64s_open_result::not_recognised) {
        result = d64s_open_p00(file, size, name, &handle);
    }
    if (result == d64s_open_result::not_recognised) {
        result = d64s_open_t64(file, size, &handle);
    }
    if (result == d64s_open_result::not_recognised) {
        result = d64s_open_prg(file, size, name, &handle);
    }
    if (result == d64s_open_result::not_recognised) {
        return false;
    }
    *out = handle != nullptr ? &handle->container : nullptr;
    if (result == d64s_open_result::opened && format != nullptr) {
        *format = static_cast<d64_container_format>(handle->container.format);
    }
    return result == d64s_open_result::opened;
}

void d64_close_container(d64_container* container) {
    if (container != nullptr) {
        auto* handle = reinterpret_cast<d64s_container*>(container);
        std::free(handle->decoded);
        std::free(handle);
    }
}

bool d64_get_container_info(const d64_container* container, d64_container_info* info) {
    if (container == nullptr || info == nullptr) {
        return false;
    }
    *info = reinterpret_cast<const d64s_container*>(container)->info;
    return true;
}

bool d64_foreach_container_file(const d64_container* container, d64_container_file_visitor visitor,
                                void* context) {
    if (container == nullptr || visitor == nullptr) {
        return false;
    }
    const auto* handle = reinterpret_cast<const d64s_container*>(container);
    if (container->format == D64_CONTAINER_CRT) {
        return true;
    }
    for (int32_t i = 0; i < handle->info.file_count; ++i) {
        d64_container_file file = handle->files[i];
        file.size = file.data == nullptr ? 0 : file.data_size + (file.has_load_address ? 2 : 0);
        if (!visitor(&file, context)) {
            return false;
        }
    }
    return true;
}

bool d64_calculate_container_file_md5(const d64_container_file* file, uint8_t* digest) {
    if (file == nullptr || digest == nullptr || file->data == nullptr) {
        return false;
    }
    md5_ctx context;
    md5_init(&context);
    if (file->has_load_address) {
        const uint8_t load[2] = {static_cast<uint8_t>(file->load_address),
                                 static_cast<uint8_t>(file->load_address >> 8)};
        md5_update(&context, 2, load);
    }
    md5_update(&context, file->data_size, file->data);
    md5_digest(&context, MD5_DIGEST_SIZE, digest);
    return true;
}

bool d64_export_container_file(const d64_container_file* file, FILE* stream) {
    if (file == nullptr || stream == nullptr || file->data == nullptr) {
        return false;
    }
    const uint8_t load[2] = {static_cast<uint8_t>(file->load_address),
                             static_cast<uint8_t>(file->load_address >> 8)};
    return (!file->has_load_address || std::fwrite(load, 1, 2, stream) == 2) &&
           std::fwrite(file->data, 1, file->data_size, stream) == file->data_size;
}

bool d64_foreach_cartridge_chip(const d64_container* container, d64_cartridge_chip_visitor visitor,
                                void* context) {
    if (container == nullptr || visitor == nullptr || container->format != D64_CONTAINER_CRT) {
        return false;
    }
    const auto* handle = reinterpret_cast<const d64s_container*>(container);
    for (int32_t i = 0; i < handle->info.file_count; ++i) {
        if (!visitor(&handle->chips[i], context)) {
            return false;
        }
    }
    return true;
}

namespace {

template <size_t n>
bool name_from(const char* const (&names)[n], int32_t value, const char** name) {
    if (name == nullptr || value < 0 || static_cast<size_t>(value) >= n) {
        return false;
    }
    *name = names[value];
    return true;
}

} // namespace

bool d64_cartridge_type_name(int32_t type, const char** name) {
    for (const cartridge_type& row : k_cartridge_types) {
        if (name != nullptr && row.number == type) {
            *name = row.name;
            return true;
        }
    }
    return false;
}

bool d64_cartridge_machine_name(int32_t machine, const char** name) {
    if (name == nullptr || machine < 0 ||
        static_cast<size_t>(machine) >= count_of(k_cartridge_machines)) {
        return false;
    }
    *name = k_cartridge_machines[machine].name;
    return true;
}

bool d64_tape_machine_name(int32_t machine, const char** name) {
    return name_from(k_tape_machines, machine, name);
}

bool d64_tape_video_name(int32_t video, const char** name) {
    return name_from(k_tape_videos, video, name);
}

bool d64_cartridge_chip_type_name(int32_t type, const char** name) {
    return name_from(k_chip_types, type, name);
}
