// Fuzz target: every report and chain walk of the library on an image made from the
// input. Besides the sanitizers' checks it aborts when a report breaks one of the
// properties of report_check_failure(): non-printable output, more entry lines
// than the directory has slots, or a chain count beyond the image's sectors.
#include "fuzz_input.h"
#include "report_checks.h"
#include "trakvol.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> image = fuzz_image_from_input(data, size);
    d64_disk* disk = nullptr;
    if (image.empty() || !d64_open_disk(&disk, image.data(), image.size(), nullptr)) {
        return 0;
    }
    // The search pattern is the input's last bytes, up to 16.
    char pattern[17] = {0};
    const size_t pattern_length = size - 1 < 16 ? size - 1 : 16;
    std::memcpy(pattern, data + size - pattern_length, pattern_length);

    const std::string failure = report_check_failure(disk, pattern);
    d64_close_disk(disk);
    if (!failure.empty()) {
        std::fprintf(stderr, "property broken: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
