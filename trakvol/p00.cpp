// P00 and its kin: the PC64 emulator's one file, its C64 name in a header and its
// type in the extension's letter (.P00 a program, .S00 a sequential file, ...).
#include "container.h"

#include <cstring>

namespace {

// Bytes 0-7 "C64File" and a zero, 8-23 the C64 name (padded with zeros), 24 a zero,
// 25 a REL file's record length, then the file as a disk holds it.
constexpr char k_pc64_signature[] = "C64File";
constexpr uint64_t k_pc64_header = 26;

// The extension's letter names the type; two digits follow it.
struct pc64_letter {
    char letter;
    uint8_t type;
};
constexpr pc64_letter k_pc64_letters[] = {
    {'p', 0x82}, {'s', 0x81}, {'u', 0x83}, {'r', 0x84}, {'d', 0x80}};

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

uint8_t d64s_pc64_type(const char* extension) {
    if (std::strlen(extension) != 3 || !is_digit(extension[1]) || !is_digit(extension[2])) {
        return 0;
    }
    const char letter = extension[0] >= 'A' && extension[0] <= 'Z'
                            ? static_cast<char>(extension[0] + ('a' - 'A'))
                            : extension[0];
    for (const pc64_letter& row : k_pc64_letters) {
        if (row.letter == letter) {
            return row.type;
        }
    }
    return 0;
}

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
    std::memcpy(info.name, file + 8, D64_NAME_LENGTH);
    info.name_length = D64_NAME_LENGTH;
    info.record_length = file[25];
    uint8_t type = d64s_pc64_type(d64s_extension(name));
    d64_container_file& only = handle->files[0];
    if (type == 0) {
        only.problems |= 1U << D64_PROBLEM_UNKNOWN_EXTENSION;
        type = k_closed_prg;
    }
    d64s_read_whole_file(file + k_pc64_header, size - k_pc64_header, type, only);
    std::memcpy(only.name, file + 8, D64_NAME_LENGTH);
    *out = handle;
    return d64s_open_result::opened;
}
