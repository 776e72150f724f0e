// Fuzz target: the DAT readers (XML datafiles and software lists, ClrMamePro text) on
// any bytes, under a cap of 1 MiB unpacked. Besides the sanitizers' checks it aborts
// when a DAT that loaded holds a rom of another DAT, an index entry that points
// nowhere, or a rom that cannot match in the index.
#include "dat.h"

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void broken(const char* what) {
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
}

template <class Index> void check_index(const verify::catalog& dats, const Index& index) {
    for (const auto& [key, rom] : index) {
        if (rom < 0 || static_cast<std::size_t>(rom) >= dats.roms.size() ||
            !dats.roms[static_cast<std::size_t>(rom)].can_match()) {
            broken("an index entry points to no rom that can match");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    verify::catalog dats;
    std::string message;
    if (!verify::load_dat_bytes("fuzz.dat", data, size, dats, &message, 1 << 20)) {
        if (message.empty() || message.find('\n') != std::string::npos || !dats.roms.empty()) {
            broken("a refused DAT without one line, or with roms kept");
        }
        return 0;
    }
    if (dats.dats.size() != 1 || dats.dats[0].name.empty()) {
        broken("a DAT without its one entry and name");
    }
    for (const verify::rom& rom : dats.roms) {
        if (rom.dat != 0) {
            broken("a rom of another DAT");
        }
    }
    check_index(dats, dats.by_sha1);
    check_index(dats, dats.by_md5);
    check_index(dats, dats.by_crc_size);
    return 0;
}
