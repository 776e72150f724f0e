// Fuzz target: the archive walk on arbitrary bytes, taken as a zip, 7z, tar, rar or a
// compressed stream by the input's first byte, and every report on each image it
// yields. Aborts when an image holds more than the walk may read, when a path is
// empty, or when a report breaks one of the properties of report_check_failure().
#include "collection.h"
#include "report_checks.h"
#include "trakvol.h"

#include <cstdio>
#include <cstdlib>

namespace {

// The name the bytes are found under decides which readers may claim them.
const char* const k_names[] = {"input.zip", "input.7z",     "input.tar",    "input.tar.gz",
                               "input.rar", "input.d64.gz", "input.d64.xz", "input.gz"};

[[noreturn]] void broken(const char* what, const std::string& detail) {
    std::fprintf(stderr, "property broken: %s %s\n", what, detail.c_str());
    std::abort();
}

void check_item(const collection::item& item) {
    if (item.path.empty() || (!item.is_image && item.error.empty())) {
        broken("an item without a path or a reason:", item.error);
    }
    if (item.bytes.size() > collection::image_size_limit(item.path) + 1) {
        broken("a member read too far:", item.path);
    }
    d64_disk* disk = nullptr;
    if (!item.is_image || !item.error.empty() ||
        !d64_init_disk(&disk, item.bytes.data(), item.bytes.size())) {
        return;
    }
    const std::string failure = report_check_failure(disk, "*");
    d64_close_disk(disk);
    if (!failure.empty()) {
        broken(failure.c_str(), item.path);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const char* name = k_names[data[0] % (sizeof k_names / sizeof k_names[0])];
    collection::walk_archive_bytes(name, data + 1, size - 1, check_item);
    return 0;
}
