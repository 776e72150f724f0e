// Fuzz target: the decoder of raw track dumps on any bytes behind the G64 signature
// (added when the input has none of the G64's, the G71's and the NIB's). Besides the
// sanitizers' checks it aborts when the decode summary does not add up or a report on
// the decoded disk breaks one of the properties of report_check_failure().
#include "report_checks.h"
#include "trakvol.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr char k_signature[] = "GCR-1541";
constexpr size_t k_signature_length = 8;

// The input starts with the signature of a dump format.
bool has_dump_signature(const uint8_t* data, size_t size) {
    for (int32_t code = 0; code < D64_FORMAT_COUNT; ++code) {
        d64_format_shape shape{};
        if (d64_get_format_shape(code, &shape) && shape.signature != nullptr &&
            size >= std::strlen(shape.signature) &&
            std::memcmp(data, shape.signature, std::strlen(shape.signature)) == 0) {
            return true;
        }
    }
    return false;
}

[[noreturn]] void broken(const char* what) {
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> file;
    if (!has_dump_signature(data, size)) {
        file.assign(k_signature, k_signature + k_signature_length);
    }
    file.insert(file.end(), data, data + size);
    d64_disk* disk = nullptr;
    d64_format format = D64_FORMAT_D64;
    if (!d64_open_disk(&disk, file.data(), file.size(), &format)) {
        return 0;
    }
    d64_format_shape shape{};
    d64_get_format_shape(format, &shape);
    const bool decoded = shape.signature != nullptr;
    d64_decode_facts facts{};
    if (decoded && !d64_get_decode_facts(disk, &facts)) {
        broken("no decode summary for a decoded handle");
    }
    const d64_gcr_decode_info& info = facts.decode;
    const auto sectors = static_cast<int32_t>(disk->sector_data_size / 256);
    const bool track_count_fits = format == D64_FORMAT_G71
                                      ? info.tracks == 70
                                      : info.tracks == 35 || info.tracks == 40 || info.tracks == 42;
    if (decoded &&
        (info.tracks != disk->track_count || info.sectors_ok + info.sectors_with_error != sectors ||
         disk->error_info_size != static_cast<uint64_t>(sectors) || !track_count_fits ||
         facts.copies_differ < 0 || facts.copies_differ > sectors)) {
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
