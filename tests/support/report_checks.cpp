#include "report_checks.h"

#include "test_support.h"

#include <cstdio>
#include <unistd.h>

namespace {

int max_slots(const d64_disk* disk) {
    d64_format_info info{};
    d64_get_format_info(disk, &info);
    return info.max_directory_slots;
}

bool printable(const std::string& text) {
    for (char c : text) {
        if (c != '\n' && (c < 32 || c > 126)) {
            return false;
        }
    }
    return true;
}

size_t line_count(const std::string& text) {
    size_t lines = 0;
    for (char c : text) {
        lines += c == '\n';
    }
    return lines;
}

std::string listing_failure(const d64_disk* disk) {
    for (int form = 0; form < 4; ++form) {
        const bool scratched = form & 1;
        const bool wide = form & 2;
        const std::string text = capture_stream(
            [&](FILE* stream) { d64_dump_directory_contents(disk, scratched, wide, stream); });
        if (!printable(text)) {
            return "listing prints a byte that is not printable ASCII";
        }
        // The header takes 4 lines in the wide form; the narrow one has a header
        // line and a closing line.
        if (line_count(text) > static_cast<size_t>(max_slots(disk)) + (wide ? 4u : 2u)) {
            return "listing prints more entry lines than the directory has slots";
        }
    }
    for (bool errors : {false, true}) {
        const std::string text =
            capture_stream([&](FILE* stream) { d64_dump_bam_contents(disk, errors, stream); });
        if (!printable(text)) {
            return "BAM report prints a byte that is not printable ASCII";
        }
    }
    return "";
}

std::string chain_failure(const d64_disk* disk) {
    const auto sector_count = static_cast<int32_t>(disk->sector_data_size / 256);
    d64_dir_cursor cursor;
    const d64_dir_entry* entry = nullptr;
    d64_first_dir_entry(disk, &cursor, &entry);
    int slots = 0;
    do {
        int32_t sectors = 0;
        int32_t bytes = 0;
        d64_calculate_file_size_sectors(disk, entry, &sectors);
        d64_calculate_file_size_bytes(disk, entry, &bytes);
        if (sectors < 0 || sectors > sector_count) {
            return "chain walk counts more sectors than the image has";
        }
        if (bytes < -sector_count || bytes > 254 * sector_count) {
            return "chain walk counts more bytes than the image holds";
        }
    } while (++slots < max_slots(disk) && d64_next_dir_entry(disk, &cursor, &entry));
    return "";
}

// The search prints to standard output: for the check, that descriptor points to a
// temporary file while it runs.
std::string search_failure(const d64_disk* disk, const char* pattern) {
    std::fflush(stdout);
    FILE* temporary = std::tmpfile();
    const int saved = dup(fileno(stdout));
    dup2(fileno(temporary), fileno(stdout));
    bool found = false;
    d64_find_pattern(disk, pattern, &found);
    std::fflush(stdout);
    dup2(saved, fileno(stdout));
    close(saved);
    std::rewind(temporary);
    std::string text;
    for (int c; (c = std::fgetc(temporary)) != EOF;) {
        text += static_cast<char>(c);
    }
    std::fclose(temporary);
    if (!printable(text) || line_count(text) != (found ? 1u : 0u)) {
        return "search prints something other than one printable line per match";
    }
    return "";
}

} // namespace

// The file-system check: each problem's sectors are sectors of the disk, sorted, and
// no more than it has; the reported problems stop at the cap; the summary counts them.
std::string file_system_check_failure(const d64_disk* disk) {
    struct tally {
        const d64_disk* disk;
        int reported = 0;
        std::string failure;
    } state{disk, 0, {}};
    const auto visit = [](const d64_check_problem* problem, void* context) {
        auto& into = *static_cast<tally*>(context);
        ++into.reported;
        const auto sectors = static_cast<int32_t>(into.disk->sector_data_size / 256);
        if (problem->sector_count < 0 || problem->sector_count > sectors) {
            into.failure = "a check problem has more sectors than the disk";
        }
        for (int32_t i = 0; i < problem->sector_count; ++i) {
            const d64_sector_address at = problem->sectors[i];
            const bool sorted = i == 0 || problem->sectors[i - 1].track < at.track ||
                                (problem->sectors[i - 1].track == at.track &&
                                 problem->sectors[i - 1].sector <= at.sector);
            if (!d64_are_track_and_sector_valid(into.disk, at.track, at.sector) || !sorted) {
                into.failure = "a check problem names a sector out of place";
            }
        }
        return true;
    };
    d64_check_summary summary{};
    if (!d64_check_disk(disk, visit, &state, &summary)) {
        return "the check stopped without being asked to";
    }
    if (state.reported > D64_CHECK_MOST_PROBLEMS + 1 ||
        summary.errors + summary.warnings + summary.infos < state.reported) {
        return "the check reports more problems than it counts or than its cap";
    }
    return state.failure;
}

std::string report_check_failure(const d64_disk* disk, const char* pattern) {
    std::string failure = listing_failure(disk);
    if (failure.empty()) {
        failure = file_system_check_failure(disk);
    }
    if (failure.empty()) {
        failure = chain_failure(disk);
    }
    if (failure.empty()) {
        failure = search_failure(disk, pattern);
    }
    return failure;
}
