// Private: the containers that are no disk (tapes, cartridges, loose files): the
// handle behind d64_container and what every reader shares (containers.cpp, which
// also tries the readers in turn), and a reader per format (t64.cpp, tap.cpp,
// p00.cpp, prg.cpp, crt.cpp), none of which calls another.
#ifndef TRAKVOL_CONTAINER_H
#define TRAKVOL_CONTAINER_H

#include "trakvol.h"

#include <cstdint>

// The handle: what the reader found, in one malloc() block with the file list; a
// TAP's reconstructed data in a block of its own.
struct d64s_container {
    d64_container container;
    d64_container_info info;
    d64_container_file* files; // info.file_count of them, or null (a CRT's: chips)
    d64_cartridge_chip* chips; // a CRT's, info.file_count of them
    uint8_t* decoded;          // a TAP's files' data, or null
};

// What a reader came to.
enum class d64s_open_result { not_recognised, failed, opened };

// The readers: each opens `file` when it is of its format, into a new handle.
d64s_open_result d64s_open_t64(const uint8_t* file, uint64_t size, d64s_container** out);
d64s_open_result d64s_open_tap(const uint8_t* file, uint64_t size, d64s_container** out);
d64s_open_result d64s_open_p00(const uint8_t* file, uint64_t size, const char* name,
                               d64s_container** out);
d64s_open_result d64s_open_prg(const uint8_t* file, uint64_t size, const char* name,
                               d64s_container** out);
d64s_open_result d64s_open_crt(const uint8_t* file, uint64_t size, d64s_container** out);

// A new handle with room for `files` files (or chips: `chips`), zeroed; null when
// allocation fails.
d64s_container* d64s_new_container(const uint8_t* file, uint64_t size, int32_t format,
                                   int32_t files, int32_t chips);

// A file name's extension after its last '.', or "" (no folder part is looked at).
const char* d64s_extension(const char* name);

// True when `extension` is `wanted` (lower case) in any letter case.
bool d64s_extension_is(const char* extension, const char* wanted);

// The type byte a PC64 extension's letter names (".P00" 0x82, ".s17" 0x81, ...), or 0
// when it names none (p00.cpp).
uint8_t d64s_pc64_type(const char* extension);

// A closed PRG, as a directory entry's type byte.
inline constexpr uint8_t k_closed_prg = 0x82;

// The one file of a P00 or PRG: `bytes` as a disk holds them (a program's load
// address first), typed `type`.
void d64s_read_whole_file(const uint8_t* bytes, uint64_t count, uint8_t type,
                          d64_container_file& out);

inline uint32_t d64s_le16(const uint8_t* at) {
    return at[0] | uint32_t{at[1]} << 8U;
}
inline uint32_t d64s_le32(const uint8_t* at) {
    return at[0] | uint32_t{at[1]} << 8U | uint32_t{at[2]} << 16U | uint32_t{at[3]} << 24U;
}
inline uint32_t d64s_be16(const uint8_t* at) {
    return uint32_t{at[0]} << 8U | at[1];
}
inline uint32_t d64s_be32(const uint8_t* at) {
    return uint32_t{at[0]} << 24U | uint32_t{at[1]} << 16U | uint32_t{at[2]} << 8U | at[3];
}

#endif // TRAKVOL_CONTAINER_H
