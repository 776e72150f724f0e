// BAM report: per track, the allocated sectors and, when the image carries them,
// the error codes and the allocated sectors that carry an error.
#include "../geometry.h"
#include "trakvol.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr int32_t k_max_sectors_per_track = 21;
constexpr uint8_t k_no_error = 1;

struct bam_totals {
    int32_t allocated = 0;
    int32_t errors = 0;
    int32_t allocated_with_error = 0;
};

// One character per sector; a map holds at most 21 and a terminator.
struct track_maps {
    char allocation[k_max_sectors_per_track + 1];
    char errors[k_max_sectors_per_track + 1];
    char allocated_with_error[k_max_sectors_per_track + 1];
};

// 0 and 2-9 as digits, 10-15 as a-f, anything above as "I" (1 means no error).
char error_code_character(uint8_t code) {
    if (code < 10) {
        return static_cast<char>('0' + code);
    }
    if (code < 16) {
        return static_cast<char>('a' + (code - 10));
    }
    return 'I';
}

void clear_maps(track_maps& maps, int32_t sectors) {
    for (char* map : {maps.allocation, maps.errors, maps.allocated_with_error}) {
        std::memset(map, '.', static_cast<size_t>(sectors));
        map[sectors] = '\0';
    }
}

void print_track(const d64_disk* disk, int32_t track, bool show_errors, bam_totals& totals,
                 FILE* stream) {
    const int32_t sectors = d64s_sectors_of_track(track);
    track_maps maps;
    clear_maps(maps, sectors);
    int32_t allocated = 0;
    for (int32_t sector = 0; sector < sectors; ++sector) {
        if (d64_is_sector_allocated(disk, track, sector)) {
            ++allocated;
            maps.allocation[sector] = '*';
        }
        if (!show_errors) {
            continue;
        }
        uint8_t code = k_no_error;
        d64_get_sector_error_info(disk, track, sector, &code);
        if (code != k_no_error) {
            maps.errors[sector] = error_code_character(code);
            ++totals.errors;
            if (maps.allocation[sector] == '*') {
                maps.allocated_with_error[sector] = '*';
                ++totals.allocated_with_error;
            }
        }
    }
    totals.allocated += allocated;
    std::fprintf(stream, "%4d", track);
    std::fprintf(stream, "   %2d/%2d   %-21s", allocated, sectors, maps.allocation);
    if (show_errors) {
        std::fprintf(stream, "  %-21s  %-21s", maps.errors, maps.allocated_with_error);
    }
    std::fprintf(stream, "\n");
}

} // namespace

bool d64_dump_bam_contents(const d64_disk* disk, bool include_errors, FILE* stream) {
    if (disk == nullptr || stream == nullptr) {
        return false;
    }
    const bool show_errors = include_errors && disk->error_info_size != 0;
    std::fprintf(stream, "Track  Used    Allocation status");
    if (show_errors) {
        std::fprintf(stream, "      Error info             Allocated with error");
    }
    std::fprintf(stream, "\n");

    bam_totals totals;
    for (int32_t track = 1; track <= disk->track_count; ++track) {
        print_track(disk, track, show_errors, totals, stream);
    }

    // The first total comes from the per-track free counts (track 18's 19 sectors
    // left out), the second from the allocation bits; the two need not agree.
    const int32_t sector_count = d64s_sector_count(disk->track_count);
    int32_t free_sectors = 0;
    d64_count_free_sectors(disk, &free_sectors);
    std::fprintf(stream, "Totals: %20d/%3d/%3d",
                 sector_count - free_sectors - d64s_sectors_of_track(k_directory_track),
                 totals.allocated, sector_count);
    if (show_errors) {
        std::fprintf(stream, "  %21d  %21d", totals.errors, totals.allocated_with_error);
    }
    std::fprintf(stream, "\n");
    return true;
}
