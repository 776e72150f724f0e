// Fuzz target: the readers of tapes, cartridges and loose files on any bytes, the
// input's first byte choosing the name they are opened under. Besides the sanitizers'
// checks it aborts when a file's data lies outside the input (but a TAP's, which the
// container holds), when a file's size does not add up, when a chip lies outside, or
// when the bytes a listing would hash (every file's data but those that share an
// earlier one's, and every chip's) add up to more than the input.
#include "trakvol.h"

#include <cstdio>
#include <cstdlib>

namespace {

const char* const k_names[] = {"x.t64", "x.tap", "x.p00", "x.prg", "x.crt", "x.s01", "x.q00"};

struct bounds {
    const uint8_t* begin;
    const uint8_t* end;
    bool tape;
    uint64_t hashed = 0;
};

[[noreturn]] void broken(const char* what) {
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
}

bool check_file(const d64_container_file* file, void* context) {
    auto& in = *static_cast<bounds*>(context);
    in.hashed += file->data != nullptr && file->shares_data_of == 0 ? file->data_size : 0;
    if (file->data != nullptr && !in.tape &&
        (file->data < in.begin || file->data > in.end ||
         file->data_size > static_cast<uint64_t>(in.end - file->data))) {
        broken("a file's data outside the input");
    }
    const uint64_t size =
        file->data == nullptr ? 0 : file->data_size + (file->has_load_address ? 2 : 0);
    if (file->size != size) {
        broken("a file's size that does not add up");
    }
    uint8_t digest[16];
    d64_calculate_container_file_md5(file, digest);
    return true;
}

bool check_chip(const d64_cartridge_chip* chip, void* context) {
    auto& in = *static_cast<bounds*>(context);
    if (chip->data == nullptr) {
        return true; // a RAM chip's packet holds no data
    }
    if (chip->data < in.begin || chip->size > static_cast<uint64_t>(in.end - chip->data)) {
        broken("a chip outside the input");
    }
    in.hashed += chip->size;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const char* name = k_names[data[0] % (sizeof k_names / sizeof k_names[0])];
    d64_container* container = nullptr;
    d64_container_format format = D64_CONTAINER_T64;
    if (!d64_open_container(&container, data + 1, size - 1, name, &format)) {
        return 0;
    }
    bounds in{data + 1, data + size, format == D64_CONTAINER_TAP};
    d64_foreach_container_file(container, check_file, &in);
    d64_foreach_cartridge_chip(container, check_chip, &in);
    if (in.hashed > size) {
        broken("more bytes to hash than the input holds");
    }
    d64_close_container(container);
    return 0;
}
