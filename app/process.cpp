// One image, a folder of images, or a whole tree with its archives: the walk hands
// each image to the outputs, a folder's or tree's images to several workers, and
// writes what they give in order.
#include "catalogue.h"
#include "collection.h"
#include "dat.h"
#include "extraction.h"
#include "front_end.h"
#include "ordered_pool.h"
#include "ordered_writer.h"
#include "outputs.h"

#include <cstdio>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The folder of --extract, opened before any image is read.
outputs::extraction_root extraction;
// The DATs of --dat, read before any image, and what the run's images matched.
std::optional<verify::catalog> known_dumps;
std::optional<verify::tally> run_tally;

// The per-image settings, from the command line's.
outputs::settings process_settings(const char* pattern) {
    outputs::settings how;
    how.what = opt_request == k_request_find  ? outputs::request::find
               : opt_request == k_request_bam ? outputs::request::bam
                                              : outputs::request::directory;
    how.include_scratched = mod_include_scratched;
    how.include_errors = mod_include_errors;
    how.wide = mod_wide_output;
    how.pattern = pattern;
    how.json = opt_json;
    how.unicode = opt_unicode != k_unicode_off;
    how.charset = opt_unicode == k_unicode_lower ? D64_CHARSET_LOWER : D64_CHARSET_UPPER;
    // On a terminal, control codes show as a C64 shows them in a quoted name.
    how.controls = isatty(STDOUT_FILENO) != 0 ? D64_CONTROLS_REVERSED : D64_CONTROLS_REPLACED;
    how.extract = extraction.fd >= 0 ? &extraction : nullptr;
    how.check = opt_check;
    // Without a report option the check and the DAT verdict print only their own lines
    // (a bare -s brings the listing back for the check, not for --dat).
    const bool report_option = opt_request != k_request_directory || mod_wide_output;
    how.check_only = opt_check && !report_option && !mod_include_scratched;
    how.listing = report_option || (!opt_check && opt_dats.empty()) ||
                  (opt_dats.empty() && mod_include_scratched);
    how.dats = known_dumps ? &*known_dumps : nullptr;
    how.tally = run_tally ? &*run_tally : nullptr;
    how.make_dat = opt_make_dat != nullptr;
    return how;
}

// One image of a folder, its output collected for the ordered writer.
workpool::output process_folder_entry(const std::string& name, const char* pattern) {
    outputs::memory_stream out;
    outputs::memory_stream err;
    const int failed = outputs::render_file(name, outputs::walk_style::folder,
                                            process_settings(pattern), out.stream, err.stream);
    return workpool::output{out.take(), err.take(), failed, 1, 0};
}

workpool::output process_tree_unit(const collection::unit& unit, const char* pattern) {
    outputs::memory_stream out;
    outputs::memory_stream err;
    workpool::output counts;
    const outputs::settings how = process_settings(pattern);
    unit([&](const collection::item& item) {
        counts.images += item.is_image ? 1 : 0;
        counts.bytes += item.bytes.size();
        counts.failed +=
            outputs::render(outputs::image_view{item.path, item.members, item.bytes.data(),
                                                item.bytes.size(), item.error, item.is_image},
                            outputs::walk_style::tree, how, out.stream, err.stream);
    });
    counts.out = out.take();
    counts.err = err.take();
    return counts;
}

// Every image of the folder, in the order the folder lists them; up to opt_jobs of
// them are read and reported at once, and written in that order. Returns the number
// that failed, or 1 when the folder itself cannot be used.
int process_folder(const char* path, const char* pattern) {
    collection::flat_folder folder;
    std::string message;
    if (!collection::open_flat_folder(path, folder, &message)) {
        std::fprintf(stderr, "%s", message.c_str());
        return 1;
    }
    return sink::write_in_order(opt_jobs, false, [&]() -> workpool::job {
        std::string name = collection::next_flat_image(folder);
        if (name.empty()) {
            return {};
        }
        return [name = std::move(name), pattern] { return process_folder_entry(name, pattern); };
    });
}

// Every image of a tree of folders and archives, or of one archive, in the walk's
// order; archives are opened and read by the workers.
int process_tree(const char* root, const char* pattern) {
    collection::tree_walk walk = collection::start_walk(root);
    return sink::write_in_order(opt_jobs, isatty(STDERR_FILENO) != 0, [&]() -> workpool::job {
        collection::unit unit = collection::next_unit(walk);
        if (!unit) {
            return {};
        }
        return [unit = std::move(unit), pattern] { return process_tree_unit(unit, pattern); };
    });
}

// The line that opens a folder's or a tree's output; a JSON run prints records only,
// a check without a report its verdict and problem lines only.
void process_announce(const char* what, const char* path) {
    if (opt_json || opt_make_dat != nullptr || !process_settings(nullptr).listing) {
        return;
    }
    std::printf("Processing all %s in \"%s\"\n", what, path);
    // The failure messages of the walk come after this line in a joint log.
    sink::flush_stdout();
}

} // namespace

// Reads every DAT of the command line; false, after its one line, when one cannot be.
bool process_load_dats() {
    if (opt_dats.empty()) {
        return true;
    }
    known_dumps.emplace();
    for (const char* path : opt_dats) {
        std::string message;
        if (!verify::load_dat(path, *known_dumps, &message)) {
            std::fprintf(stderr, "%s\n", message.c_str());
            return false;
        }
    }
    run_tally.emplace(*known_dumps);
    return true;
}

// After the last image: the roms no image matched (--missing), then a summary line per
// DAT on standard error.
void process_report_dats() {
    if (!run_tally) {
        return;
    }
    if (opt_missing) {
        for (const std::int32_t index : run_tally->missing()) {
            const verify::rom& rom = known_dumps->roms[static_cast<std::size_t>(index)];
            const std::string& dat = known_dumps->dats[static_cast<std::size_t>(rom.dat)].name;
            if (opt_json) {
                std::fputs(catalogue::missing_line(dat, rom.game, rom.name).c_str(), stdout);
            } else {
                std::printf("missing: \"%s\" \"%s\" (%s)\n", rom.game.c_str(), rom.name.c_str(),
                            dat.c_str());
            }
        }
    }
    sink::flush_stdout();
    for (const std::string& line : run_tally->summary()) {
        std::fprintf(stderr, "%s\n", line.c_str());
    }
}

int process_run(const char* path, const char* pattern);

int process_input(const char* path, const char* pattern) {
    if (!process_load_dats()) {
        return 1;
    }
    if (opt_make_dat != nullptr) {
        std::fputs(verify::make_dat_header(opt_make_dat).c_str(), stdout);
    }
    const int status = process_run(path, pattern);
    if (opt_make_dat != nullptr) {
        std::fputs(verify::make_dat_footer().c_str(), stdout);
    }
    process_report_dats();
    return status;
}

int process_run(const char* path, const char* pattern) {
    std::string error;
    if (opt_extract != nullptr &&
        !outputs::open_extraction_root(
            opt_extract, opt_unicode == k_unicode_lower ? D64_CHARSET_LOWER : D64_CHARSET_UPPER,
            &extraction, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    struct stat status;
    if (stat(path, &status) != 0) {
        std::fprintf(stderr, "Cannot open input file or folder\n");
        return 1;
    }
    if (opt_recursive) {
        const collection::name_kind kind = collection::classify_name(path);
        if (S_ISDIR(status.st_mode) || kind == collection::name_kind::archive ||
            kind == collection::name_kind::compressed_image) {
            // A tree is read in every format, a flat folder for D64 names only.
            process_announce("disk images", collection::printable_path(path).c_str());
            return process_tree(path, pattern);
        }
    } else if (S_ISDIR(status.st_mode)) {
        process_announce("D64 files", path);
        return process_folder(path, pattern);
    }
    return outputs::render_file(path, outputs::walk_style::single, process_settings(pattern),
                                stdout, stderr);
}

bool process_check_stdout() {
    return sink::check_stdout();
}
