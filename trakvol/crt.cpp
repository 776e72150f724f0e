// CRT: a cartridge's ROM (and RAM) chips as CHIP packets after a header that names
// the machine, the hardware type and the lines the cartridge pulls.
#include "container.h"

#include <algorithm>
#include <cstring>

namespace {

// A CRT's signature names its machine.
struct cartridge_machine {
    const char* signature; // 16 bytes
    const char* name;
};
constexpr cartridge_machine k_cartridge_machines[] = {
    {"C64 CARTRIDGE   ", "C64"},    {"C128 CARTRIDGE  ", "C128"},   {"VIC20 CARTRIDGE ", "VIC-20"},
    {"PLUS4 CARTRIDGE ", "Plus/4"}, {"CBM2 CARTRIDGE  ", "CBM-II"},
};
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

template <class T, size_t n> constexpr size_t count_of(const T (&)[n]) {
    return n;
}

// Bytes 0-15 the signature, 16 the header's length (big-endian, 0x40 as written;
// some writers put less), 20 the version, 22 the hardware type, 24 EXROM, 25 GAME,
// 26 the hardware revision, 32-63 the name (ASCII, zero-padded). From the header's
// length on, CHIP packets: "CHIP", the packet's length (with its 16-byte header),
// chip type, bank, load address and data size (big-endian 16-bit each), then the
// data. A RAM chip's packet is the 16 bytes alone: its size is the RAM's.
constexpr uint64_t k_crt_header = 0x40;
constexpr uint64_t k_chip_header = 16;
constexpr char k_chip_signature[] = "CHIP";
constexpr int32_t k_ram = 1;

// Walks the CHIP packets from `at`; `visit` gets each whole one. False when a packet
// is cut short or no packet: the walk ends there.
template <class Visit>
bool walk_chips(const uint8_t* file, uint64_t size, uint64_t at, Visit&& visit) {
    while (at < size) {
        if (size - at < k_chip_header || std::memcmp(file + at, k_chip_signature, 4) != 0) {
            return false;
        }
        const uint64_t length = d64s_be32(file + at + 4);
        const auto type = static_cast<int32_t>(d64s_be16(file + at + 8));
        const uint32_t data_size = d64s_be16(file + at + 14);
        const bool no_data = type == k_ram && length == k_chip_header;
        if (length < k_chip_header || length > size - at ||
            (!no_data && data_size > length - k_chip_header)) {
            return false;
        }
        if (!visit(d64_cartridge_chip{type, static_cast<int32_t>(d64s_be16(file + at + 10)),
                                      static_cast<uint16_t>(d64s_be16(file + at + 12)),
                                      static_cast<uint16_t>(data_size),
                                      no_data ? nullptr : file + at + k_chip_header})) {
            return true;
        }
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
    // A header length below the header's own is read as 0x40 (a warning); one past the
    // file's end leaves no room for a chip (the file is cut short).
    const uint64_t header_length = d64s_be32(file + 16);
    uint32_t problems = 0;
    problems |= header_length < k_crt_header ? 1U << D64_PROBLEM_HEADER_LENGTH : 0U;
    problems |= header_length > size ? 1U << D64_PROBLEM_TRUNCATED : 0U;
    const uint64_t first = std::min(std::max(header_length, k_crt_header), size);
    // More chips than any cartridge has are none of a real one: counted up to the
    // first one too many, then none listed.
    int32_t chips = 0;
    const bool whole = walk_chips(file, size, first, [&](const d64_cartridge_chip&) {
        return ++chips <= D64_MOST_CHIPS;
    });
    problems |= whole ? 0U : 1U << D64_PROBLEM_TRUNCATED;
    if (chips > D64_MOST_CHIPS) {
        problems = 1U << D64_PROBLEM_TOO_MANY_CHIPS;
        chips = 0;
    }
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
    info.problems = problems;
    int32_t next = 0;
    walk_chips(file, size, first, [&](const d64_cartridge_chip& chip) {
        if (next == chips) {
            return false;
        }
        handle->chips[next++] = chip;
        return true;
    });
    *out = handle;
    return d64s_open_result::opened;
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

bool d64_cartridge_chip_type_name(int32_t type, const char** name) {
    if (name == nullptr || type < 0 || static_cast<size_t>(type) >= count_of(k_chip_types)) {
        return false;
    }
    *name = k_chip_types[type];
    return true;
}
