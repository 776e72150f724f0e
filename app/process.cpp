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
#include <functional>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// What the run keeps beside the command line: the folder of --extract, opened before
// any image is read; the DATs of --dat, read before any image, and what the run's
// images matched.
struct run_state {
    const command_line& options;
    outputs::extraction_root extraction;
    std::optional<verify::catalog> known_dumps;
    std::optional<verify::tally> tally;
    verify::game_names game_names; // of --make-dat's games
};

// The per-image settings, from the command line's.
outputs::settings process_settings(run_state& run, const char* pattern) {
    const command_line& options = run.options;
    outputs::settings how;
    how.what = options.opt_request == k_request_find  ? outputs::request::find
               : options.opt_request == k_request_bam ? outputs::request::bam
                                                      : outputs::request::directory;
    how.include_scratched = options.mod_include_scratched;
    how.include_errors = options.mod_include_errors;
    how.wide = options.mod_wide_output;
    how.pattern = pattern;
    how.json = options.opt_json;
    how.unicode = options.opt_unicode != k_unicode_off;
    how.charset = options.opt_unicode == k_unicode_lower ? D64_CHARSET_LOWER : D64_CHARSET_UPPER;
    // On a terminal, control codes show as a C64 shows them in a quoted name.
    how.controls = isatty(STDOUT_FILENO) != 0 ? D64_CONTROLS_REVERSED : D64_CONTROLS_REPLACED;
    how.extract = run.extraction.fd >= 0 ? &run.extraction : nullptr;
    how.check = options.opt_check;
    // Without a report option the check and the DAT verdict print only their own lines
    // (a bare -s brings the listing back for the check, not for --dat).
    const bool report_option =
        options.opt_request != k_request_directory || options.mod_wide_output;
    const bool dats = !options.opt_dats.empty();
    how.check_only = options.opt_check && !report_option && !options.mod_include_scratched;
    how.listing =
        report_option || (!options.opt_check && !dats) || (!dats && options.mod_include_scratched);
    how.dats = run.known_dumps ? &*run.known_dumps : nullptr;
    how.tally = run.tally ? &*run.tally : nullptr;
    how.make_dat = options.opt_make_dat != nullptr;
    return how;
}

// One image of a folder, its output collected for the ordered writer.
workpool::output process_folder_entry(const std::string& name, const outputs::settings& how) {
    outputs::memory_stream out;
    outputs::memory_stream err;
    const int failed =
        outputs::render_file(name, outputs::walk_style::folder, how, out.stream, err.stream);
    return workpool::output{out.take(), err.take(), failed, 1, 0};
}

workpool::output process_tree_unit(const collection::unit& unit, const outputs::settings& how) {
    outputs::memory_stream out;
    outputs::memory_stream err;
    workpool::output counts;
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

// With --make-dat, the games' names made unique as they are written, in order.
std::function<void(std::string&)> process_game_names(run_state& run) {
    if (run.options.opt_make_dat == nullptr) {
        return {};
    }
    return [&run](std::string& games) { run.game_names.make_unique(games); };
}

// Every image of the folder, in the order the folder lists them; up to --jobs of
// them are read and reported at once, and written in that order. Returns the number
// that failed, or 1 when the folder itself cannot be used.
int process_folder(run_state& run, const char* path, const char* pattern) {
    collection::flat_folder folder;
    std::string message;
    if (!collection::open_flat_folder(path, folder, &message)) {
        std::fprintf(stderr, "%s", message.c_str());
        return 1;
    }
    const outputs::settings how = process_settings(run, pattern);
    return sink::write_in_order(
        run.options.opt_jobs, false,
        [&]() -> workpool::job {
            std::string name = collection::next_flat_image(folder);
            if (name.empty()) {
                return {};
            }
            return [name = std::move(name), &how] { return process_folder_entry(name, how); };
        },
        process_game_names(run));
}

// Every image of a tree of folders and archives, or of one archive, in the walk's
// order; archives are opened and read by the workers.
int process_tree(run_state& run, const char* root, const char* pattern) {
    collection::tree_walk walk = collection::start_walk(root);
    const outputs::settings how = process_settings(run, pattern);
    return sink::write_in_order(
        run.options.opt_jobs, isatty(STDERR_FILENO) != 0,
        [&]() -> workpool::job {
            collection::unit unit = collection::next_unit(walk);
            if (!unit) {
                return {};
            }
            return [unit = std::move(unit), &how] { return process_tree_unit(unit, how); };
        },
        process_game_names(run));
}

// The line that opens a folder's or a tree's output; a JSON run prints records only,
// a check without a report its verdict and problem lines only.
void process_announce(run_state& run, const char* what, const char* path) {
    if (run.options.opt_json || run.options.opt_make_dat != nullptr ||
        !process_settings(run, nullptr).listing) {
        return;
    }
    std::printf("Processing all %s in \"%s\"\n", what, path);
    // The failure messages of the walk come after this line in a joint log.
    sink::flush_stdout();
}

// Reads every DAT of the command line; false, after its one line, when one cannot be.
bool process_load_dats(run_state& run) {
    if (run.options.opt_dats.empty()) {
        return true;
    }
    run.known_dumps.emplace();
    for (const char* path : run.options.opt_dats) {
        std::string message;
        if (!verify::load_dat(path, *run.known_dumps, &message)) {
            std::fprintf(stderr, "%s\n", collection::printable_path(message).c_str());
            return false;
        }
    }
    run.tally.emplace(*run.known_dumps);
    return true;
}

// After the last image: the roms no image matched (--missing), then a summary line per
// DAT on standard error.
void process_report_dats(const run_state& run) {
    if (!run.tally) {
        return;
    }
    if (run.options.opt_missing) {
        outputs::missing_roms(*run.known_dumps, *run.tally, run.options.opt_json, stdout);
    }
    sink::flush_stdout();
    for (const std::string& line : run.tally->summary()) {
        std::fprintf(stderr, "%s\n", collection::printable_path(line).c_str());
    }
}

int process_run(run_state& run, const char* path, const char* pattern) {
    const command_line& options = run.options;
    std::string error;
    if (options.opt_extract != nullptr &&
        !outputs::open_extraction_root(options.opt_extract,
                                       options.opt_unicode == k_unicode_lower ? D64_CHARSET_LOWER
                                                                              : D64_CHARSET_UPPER,
                                       &run.extraction, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    struct stat status;
    if (stat(path, &status) != 0) {
        // The original command lines keep their line; a run with long options names
        // the path it could not open.
        std::fprintf(stderr, "Cannot open input file or folder%s\n",
                     options.long_options
                         ? (": \"" + collection::printable_path(path) + "\"").c_str()
                         : "");
        return 1;
    }
    if (options.opt_recursive) {
        const collection::name_kind kind = collection::classify_name(path);
        if (S_ISDIR(status.st_mode) || kind == collection::name_kind::archive ||
            kind == collection::name_kind::compressed_image) {
            // A tree is read in every format, a flat folder for D64 names only.
            process_announce(run, "disk images", collection::printable_path(path).c_str());
            return process_tree(run, path, pattern);
        }
    } else if (S_ISDIR(status.st_mode)) {
        process_announce(run, "D64 files", path);
        return process_folder(run, path, pattern);
    }
    return outputs::render_file(path, outputs::walk_style::single, process_settings(run, pattern),
                                stdout, stderr);
}

} // namespace

int process_input(const command_line& options, const char* path, const char* pattern) {
    run_state run{options, {}, std::nullopt, std::nullopt, {}};
    std::string missing;
    if ((options.opt_json || !options.opt_dats.empty() || options.opt_make_dat != nullptr) &&
        !catalogue::needs_crc32(&missing)) {
        std::fprintf(stderr, "floppeek: %s\n", missing.c_str());
        return 1;
    }
    if (!process_load_dats(run)) {
        return 1;
    }
    if (options.opt_make_dat != nullptr) {
        std::fputs(verify::make_dat_header(options.opt_make_dat).c_str(), stdout);
    }
    const int status = process_run(run, path, pattern);
    if (options.opt_make_dat != nullptr) {
        std::fputs(verify::make_dat_footer().c_str(), stdout);
    }
    process_report_dats(run);
    return status;
}

bool process_check_stdout() {
    return sink::check_stdout();
}
