// The per-image work without disk I/O: recognise a full image and print a report
// into a null stream. Reported as images per second.
#include "image_builder.h"
#include "trakvol.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

namespace {

// A full 35-track disk: 25 files, three in four PRG, chained at interleave 10.
test_image full_image() {
    test_image image = image_formatted(35, false, "MICRO", "MB");
    for (int slot = 0; slot < 25; ++slot) {
        std::vector<uint8_t> payload(26 * 254 - 100);
        for (size_t i = 0; i < payload.size(); ++i) {
            payload[i] = static_cast<uint8_t>(i * 31 + slot);
        }
        image_add_file(image, slot, slot % 4 == 3 ? 0x81 : 0x82, "FILE", payload, {17, 0}, 10);
    }
    return image;
}

template <class Report> void run_report(benchmark::State& state, Report report) {
    const test_image image = full_image();
    FILE* null_stream = std::fopen("/dev/null", "w");
    for (auto _ : state) {
        d64_disk* disk = nullptr;
        d64_init_disk(&disk, image.bytes.data(), image.bytes.size());
        benchmark::DoNotOptimize(report(disk, null_stream));
        d64_close_disk(disk);
    }
    std::fclose(null_stream);
    state.SetItemsProcessed(state.iterations());
}

void wide_listing(benchmark::State& state) {
    run_report(state, [](const d64_disk* disk, FILE* stream) {
        return d64_dump_directory_contents(disk, false, true, stream);
    });
}

void narrow_listing(benchmark::State& state) {
    run_report(state, [](const d64_disk* disk, FILE* stream) {
        return d64_dump_directory_contents(disk, false, false, stream);
    });
}

void bam_with_errors(benchmark::State& state) {
    run_report(state, [](const d64_disk* disk, FILE* stream) {
        return d64_dump_bam_contents(disk, true, stream);
    });
}

} // namespace

BENCHMARK(wide_listing);
BENCHMARK(narrow_listing);
BENCHMARK(bam_with_errors);
BENCHMARK_MAIN();
