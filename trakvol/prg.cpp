// PRG: a loose program, its load address and data as a disk holds them. Nothing in
// it says what it is: only its name's .prg tells, and its name's stem names it.
#include "container.h"

#include <cstring>

namespace {

// A file name's stem (without folder and extension) as a PETSCII name: letters as
// the C64 types them, other printable ASCII as it is, anything else '?'.
void name_of_file(const char* name, uint8_t* out) {
    std::memset(out, D64_SHIFTED_SPACE, D64_NAME_LENGTH);
    if (name == nullptr) {
        return;
    }
    const char* slash = std::strrchr(name, '/');
    const char* stem = slash != nullptr ? slash + 1 : name;
    const char* dot = std::strrchr(stem, '.');
    const size_t length = dot != nullptr ? static_cast<size_t>(dot - stem) : std::strlen(stem);
    for (size_t i = 0; i < length && i < static_cast<size_t>(D64_NAME_LENGTH); ++i) {
        const char c = stem[i];
        out[i] = static_cast<uint8_t>(c >= 'a' && c <= 'z'   ? c - ('a' - 'A')
                                      : c >= ' ' && c <= '~' ? c
                                                             : '?');
    }
}

} // namespace

d64s_open_result d64s_open_prg(const uint8_t* file, uint64_t size, const char* name,
                               d64s_container** out) {
    if (size < 2 || !d64s_extension_is(d64s_extension(name), "prg")) {
        return d64s_open_result::not_recognised;
    }
    d64s_container* handle = d64s_new_container(file, size, D64_CONTAINER_PRG, 1, 0);
    if (handle == nullptr) {
        *out = nullptr;
        return d64s_open_result::failed;
    }
    d64s_read_whole_file(file, size, k_closed_prg, handle->files[0]);
    name_of_file(name, handle->files[0].name);
    *out = handle;
    return d64s_open_result::opened;
}
