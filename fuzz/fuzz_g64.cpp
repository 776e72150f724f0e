// Fuzz target: the GCR decoder on any bytes behind the G64 signature (added when the
// input has neither it nor the G71's). Besides the sanitizers' checks it aborts when the decode summary
// does not add up or a report on the decoded disk breaks one of the properties of
// report_check_failure().
#include "report_checks.h"
#include "trakvol.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr char k_signature[] = "GCR-1541";
constexpr char k_g71_signature[] = "GCR-1571";
constexpr size_t k_signature_length = 8;

bool starts_with(const uint8_t* data, size_t size, const char* signature) {
    return size >= k_signature_length && std::memcmp(data, signature, k_signature_length) == 0;
}

[[noreturn]] void broken(const char* what) {
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> file;
    if (!starts_with(data, size, k_signature) && !starts_with(data, size, k_g71_signature)) {
        file.assign(k_signature, k_signature + k_signature_length);
    }
    file.insert(file.end(), data, data + size);
    d64_disk* disk = nullptr;
    d64_format format = D64_FORMAT_D64;
    if (!d64_open_disk(&disk, file.data(), file.size(), &format)) {
        return 0;
    }
    const bool decoded = format == D64_FORMAT_G64 || format == D64_FORMAT_G71;
    d64_gcr_decode_info info{};
    if (decoded && !d64_get_gcr_decode_info(disk, &info)) {
        broken("no decode summary for a decoded handle");
    }
    const auto sectors = static_cast<int32_t>(disk->sector_data_size / 256);
    const bool track_count_fits = format == D64_FORMAT_G71
                                      ? info.tracks == 70
                                      : info.tracks == 35 || info.tracks == 40 || info.tracks == 42;
    if (decoded &&
        (info.tracks != disk->track_count || info.sectors_ok + info.sectors_with_error != sectors ||
         disk->error_info_size != static_cast<uint64_t>(sectors) || !track_count_fits)) {
        broken("the decode summary does not fit the decoded disk");
    }
    // The decoded copy must outlive the caller's bytes.
    file.assign(file.size(), 0);
    const std::string failure = report_check_failure(disk, "*");
    d64_close_disk(disk);
    if (!failure.empty()) {
        broken(failure.c_str());
    }
    return 0;
}
