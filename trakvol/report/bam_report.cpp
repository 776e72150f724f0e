// BAM report: per track, the allocated sectors and, when the image carries them,
// the error codes and the allocated sectors that carry an error.
#include "../geometry.h"
#include "report.h"
#include "trakvol.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr uint8_t k_no_error = 1;
// Where the allocation map starts, counted from 1; each map is as wide as the
// format's longest track, and two spaces stand between maps.
constexpr int32_t k_map_column = 16;
constexpr int32_t k_map_gap = 2;
constexpr int32_t k_longest_track = k_most_track_sectors;

struct bam_totals {
    int32_t allocated = 0;
    int32_t errors = 0;
    int32_t allocated_with_error = 0;
};

// One character per sector, and a terminator.
struct track_maps {
    char allocation[k_longest_track + 1];
    char errors[k_longest_track + 1];
    char allocated_with_error[k_longest_track + 1];
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
    const int32_t sectors = d64s_track_sectors(disk, track);
    const int32_t width = d64s_row(disk).longest_track;
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
    std::fprintf(stream, "   %2d/%2d   %-*s", allocated, sectors, width, maps.allocation);
    if (show_errors) {
        std::fprintf(stream, "  %-*s  %-*s", width, maps.errors, width, maps.allocated_with_error);
    }
    std::fprintf(stream, "\n");
}

// "Allocation status" starts over the allocation map, "Error info" and "Allocated
// with error" over theirs.
void print_heading(int32_t width, bool show_errors, FILE* stream) {
    const int written = std::fprintf(stream, "Track  Used    Allocation status");
    if (show_errors) {
        const int32_t error_column = k_map_column + width + k_map_gap;
        const int32_t error_end = std::fprintf(stream, "%*s", error_column - 1 - written, "") +
                                  written + std::fprintf(stream, "Error info");
        std::fprintf(stream, "%*sAllocated with error",
                     error_column + width + k_map_gap - 1 - error_end, "");
    }
    std::fprintf(stream, "\n");
}

// Sectors of the tracks that "blocks free" leaves out: 19 on a 1541, 38 on a 1571.
int32_t excluded_sectors(const d64_disk* disk) {
    int32_t sectors = 0;
    for (const int32_t track : d64s_row(disk).excluded_tracks) {
        sectors += track != 0 ? d64s_track_sectors(disk, track) : 0;
    }
    return sectors;
}

} // namespace

bool d64_dump_bam_contents(const d64_disk* disk, bool include_errors, FILE* stream) {
    const d64_listing_options options = d64s_listing_options(include_errors ? D64_LIST_ERRORS : 0U);
    return d64_dump_bam_ex(disk, &options, stream);
}

bool d64_dump_bam_ex(const d64_disk* disk, const d64_listing_options* options, FILE* stream) {
    if (disk == nullptr || stream == nullptr || !d64s_listing_options_ok(options)) {
        return false;
    }
    const bool show_errors = (options->flags & D64_LIST_ERRORS) != 0 && disk->error_info_size != 0;
    const int32_t width = d64s_row(disk).longest_track;
    print_heading(width, show_errors, stream);

    bam_totals totals;
    for (int32_t track = 1; track <= disk->track_count; ++track) {
        print_track(disk, track, show_errors, totals, stream);
    }

    // The first total comes from the per-track free counts (the sectors of the tracks
    // they leave out, such as track 18's 19, left out too), the second from the
    // allocation bits; the two need not agree.
    const int32_t sector_count = d64s_disk_sectors(disk);
    int32_t free_sectors = 0;
    d64_count_free_sectors(disk, &free_sectors);
    const int written = std::fprintf(stream, "Totals: %20d/%3d/%3d",
                                     sector_count - free_sectors - excluded_sectors(disk),
                                     totals.allocated, sector_count);
    if (show_errors) {
        // The two error counts end in the last columns of their maps.
        const int32_t error_map_end = k_map_column + 2 * width + k_map_gap - 1;
        std::fprintf(stream, "  %*d  %*d", error_map_end - written - k_map_gap, totals.errors,
                     width, totals.allocated_with_error);
    }
    std::fprintf(stream, "\n");
    return true;
}
