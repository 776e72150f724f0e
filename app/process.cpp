// One image, a folder of images, or a whole tree with its archives: each image is
// loaded, recognised and reported; a folder's images by several workers, written in
// order.
#include "catalogue.h"
#include "collection.h"
#include "fileio.h"
#include "front_end.h"
#include "ordered_pool.h"
#include "trakvol.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <new>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Outputs taken but not yet written, per worker: enough to keep every worker busy
// while a slow image holds up the front, few enough to keep memory flat.
constexpr std::size_t k_window_per_job = 4;

void process_report(const d64_disk* disk, const char* pattern, FILE* out) {
    switch (opt_request) {
    case k_request_find: {
        bool found = false;
        d64_find_pattern_to(disk, pattern, &found, out);
        break;
    }
    case k_request_bam:
        d64_dump_bam_contents(disk, mod_include_errors, out);
        break;
    default:
        d64_dump_directory_contents(disk, mod_include_scratched, mod_wide_output, out);
        break;
    }
}

// A stream that collects what is written to it, for the ordered writer.
struct memory_stream {
    char* data = nullptr;
    size_t length = 0;
    FILE* stream = open_memstream(&data, &length);

    memory_stream() {
        if (stream == nullptr) {
            throw std::bad_alloc();
        }
    }
    std::string take() {
        std::fclose(stream);
        stream = nullptr;
        std::string text(data, length);
        std::free(data);
        data = nullptr;
        return text;
    }
    ~memory_stream() {
        if (stream != nullptr) {
            std::fclose(stream);
        }
        std::free(data);
    }
    memory_stream(const memory_stream&) = delete;
    memory_stream& operator=(const memory_stream&) = delete;
};

// How the run names its images: the one image of the command line, the entries of
// a folder (by their bare names), or the items of a tree (paths from the root, with
// control bytes shown as '?', and in every message).
enum class walk_style { single, folder, tree };

// An image to report, or why it could not be read.
struct image_view {
    const std::string& path;
    const std::vector<std::string>& members;
    const std::uint8_t* bytes;
    std::size_t size;
    const std::string& error; // the message, without its line break; empty when read
    bool is_image;            // false: a folder or an archive that failed as a whole
};

std::string process_shown(const std::string& text, walk_style style) {
    return style == walk_style::tree ? collection::printable_path(text) : text;
}

// A flat folder is read for D64 images only, as it always has been; one image and
// a tree are read in every format.
bool process_open(const image_view& view, walk_style style, d64_disk** disk) {
    return style == walk_style::folder ? d64_init_disk(disk, view.bytes, view.size)
                                       : d64_open_disk(disk, view.bytes, view.size, nullptr);
}

std::string process_not_recognized(const image_view& view, walk_style style) {
    std::string message = "Input file not recognized as a supported D64 image";
    if (style == walk_style::tree) {
        message += ": \"" + view.path + "\"";
    }
    return message;
}

// The text reports: the Parsing: line, then the report or the message. Returns 1
// when the image failed.
int process_render_text(const image_view& view, walk_style style, const char* pattern, FILE* out,
                        FILE* err) {
    if (!view.is_image) {
        std::fprintf(err, "%s\n", process_shown(view.error, style).c_str());
        return 1;
    }
    if (style != walk_style::single) {
        std::fprintf(out, "\nParsing: \"%s\"\n", process_shown(view.path, style).c_str());
    }
    d64_disk* disk = nullptr;
    if (!view.error.empty() || !process_open(view, style, &disk)) {
        const std::string message =
            view.error.empty() ? process_not_recognized(view, style) : view.error;
        std::fprintf(err, "%s\n", process_shown(message, style).c_str());
        return 1;
    }
    process_report(disk, pattern, out);
    std::free(disk);
    return 0;
}

// The JSON record: one line per image, its error record when it failed (with the
// usual message on standard error). A search keeps only the images with a match.
int process_render_json(const image_view& view, walk_style style, const char* pattern, FILE* out,
                        FILE* err) {
    const catalogue::origin where{view.path, view.members};
    d64_disk* disk = nullptr;
    if (!view.is_image || !view.error.empty() || !process_open(view, style, &disk)) {
        const std::string message =
            !view.error.empty() ? view.error : process_not_recognized(view, style);
        std::fputs(catalogue::error_line(where, message).c_str(), out);
        std::fprintf(err, "%s\n", process_shown(message, style).c_str());
        return 1;
    }
    if (opt_request != k_request_find) {
        std::fputs(
            catalogue::record_line(where, catalogue::inspect(disk, view.bytes, view.size), nullptr)
                .c_str(),
            out);
    } else if (const std::vector<std::string> matches = catalogue::matching_names(disk, pattern);
               !matches.empty()) {
        std::fputs(
            catalogue::record_line(where, catalogue::inspect(disk, view.bytes, view.size), &matches)
                .c_str(),
            out);
    }
    std::free(disk);
    return 0;
}

int process_render(const image_view& view, walk_style style, const char* pattern, FILE* out,
                   FILE* err) {
    return opt_json ? process_render_json(view, style, pattern, out, err)
                    : process_render_text(view, style, pattern, out, err);
}

// Load, recognise, report, release: one image file read whole. The report goes to
// `out`, a failure to `err`. 0 when a report ran, 1 otherwise.
int process_single_file(const std::string& path, walk_style style, const char* pattern, FILE* out,
                        FILE* err) {
    unsigned char* buffer = nullptr;
    size_t length = 0;
    memory_stream messages;
    const bool read = fileio_get_file_contents_to(path.c_str(), &buffer, &length, messages.stream);
    std::string error = messages.take();
    if (!read && !error.empty() && error.back() == '\n') {
        error.pop_back();
    }
    static const std::vector<std::string> no_members;
    const int failed = process_render(
        image_view{path, no_members, buffer, read ? length : 0, read ? std::string() : error, true},
        style, pattern, out, err);
    std::free(buffer);
    return failed;
}

// One image of a folder, its output collected for the ordered writer.
workpool::output process_folder_entry(const std::string& name, const char* pattern) {
    memory_stream out;
    memory_stream err;
    const int failed =
        process_single_file(name, walk_style::folder, pattern, out.stream, err.stream);
    return workpool::output{out.take(), err.take(), failed, 1, 0};
}

workpool::output process_tree_unit(const collection::unit& unit, const char* pattern) {
    memory_stream out;
    memory_stream err;
    workpool::output counts;
    unit([&](const collection::item& item) {
        counts.images += item.is_image ? 1 : 0;
        counts.bytes += item.bytes.size();
        counts.failed += process_render(image_view{item.path, item.members, item.bytes.data(),
                                                   item.bytes.size(), item.error, item.is_image},
                                        walk_style::tree, pattern, out.stream, err.stream);
    });
    counts.out = out.take();
    counts.err = err.take();
    return counts;
}

// Standard output as the ordered writer sees it: the first failed write is
// remembered with its reason, and stops the walk.
int stdout_error = 0;

void process_note_stdout_error() {
    if (std::ferror(stdout) && stdout_error == 0) {
        stdout_error = errno != 0 ? errno : EIO;
    }
}

// A status line on a terminal: images done, failures, MB/s; redrawn at most ten
// times a second, erased before anything else is written and at the end.
struct progress_line {
    bool enabled = false;
    bool shown = false;
    int images = 0;
    int failed = 0;
    std::uint64_t bytes = 0;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point drawn{};
};

progress_line progress;

void process_erase_progress() {
    if (progress.shown) {
        std::fputs("\r\033[K", stderr);
        progress.shown = false;
    }
}

void process_draw_progress(const workpool::output& output) {
    progress.images += output.images;
    progress.failed += output.failed;
    progress.bytes += output.bytes;
    const auto now = std::chrono::steady_clock::now();
    if (now - progress.drawn < std::chrono::milliseconds(100)) {
        return;
    }
    progress.drawn = now;
    const double seconds = std::chrono::duration<double>(now - progress.start).count();
    std::fflush(stdout);
    std::fprintf(stderr, "\r\033[K%d images, %d failed, %.1f MB/s", progress.images,
                 progress.failed,
                 seconds > 0 ? static_cast<double>(progress.bytes) / 1e6 / seconds : 0.0);
    progress.shown = true;
}

bool process_write_output(workpool::output&& output) {
    if (progress.enabled && (!output.err.empty() || isatty(STDOUT_FILENO))) {
        process_erase_progress();
    }
    errno = 0;
    std::fwrite(output.out.data(), 1, output.out.size(), stdout);
    if (!output.err.empty()) {
        // A log of both streams keeps each message after the lines it belongs to.
        std::fflush(stdout);
    }
    process_note_stdout_error();
    std::fwrite(output.err.data(), 1, output.err.size(), stderr);
    if (progress.enabled) {
        process_draw_progress(output);
    }
    return stdout_error == 0;
}

// Writes each output in order as the workers finish; returns the failure count.
int process_in_order(const workpool::job_source& next_job) {
    int failed = 0;
    const auto write = [&](workpool::output&& output) {
        failed += output.failed;
        return process_write_output(std::move(output));
    };
    workpool::run_in_order(opt_jobs, opt_jobs * k_window_per_job, next_job, write);
    process_erase_progress();
    return failed;
}

// Only "d64" or "D64" after the last dot counts; hidden names never do.
bool process_is_image_name(const char* name) {
    if (name[0] == '.') {
        return false;
    }
    const char* dot = std::strrchr(name, '.');
    return dot != nullptr && (std::strcmp(dot + 1, "d64") == 0 || std::strcmp(dot + 1, "D64") == 0);
}

// Every image of the folder, in the order the folder lists them; up to opt_jobs of
// them are read and reported at once, and written in that order. Returns the number
// that failed, or 1 when the folder itself cannot be used.
int process_folder(const char* path, const char* pattern) {
    DIR* folder = opendir(path);
    if (folder == nullptr) {
        std::fprintf(stderr, "Cannot open input folder");
        return 1;
    }
    if (chdir(path) != 0) {
        std::fprintf(stderr, "Cannot chdir to input folder");
        closedir(folder);
        return 1;
    }
    const int failed = process_in_order([&]() -> workpool::job {
        while (const dirent* item = readdir(folder)) {
            if (process_is_image_name(item->d_name)) {
                return [name = std::string(item->d_name), pattern] {
                    return process_folder_entry(name, pattern);
                };
            }
        }
        return {};
    });
    closedir(folder);
    return failed;
}

// Every image of a tree of folders and archives, or of one archive, in the walk's
// order; archives are opened and read by the workers.
int process_tree(const char* root, const char* pattern) {
    progress.enabled = isatty(STDERR_FILENO) != 0;
    collection::tree_walk walk = collection::start_walk(root);
    return process_in_order([&]() -> workpool::job {
        collection::unit unit = collection::next_unit(walk);
        if (!unit) {
            return {};
        }
        return [unit = std::move(unit), pattern] { return process_tree_unit(unit, pattern); };
    });
}

// The line that opens a folder's output; a JSON run prints records only.
void process_announce(const char* path) {
    if (opt_json) {
        return;
    }
    std::printf("Processing all D64 files in \"%s\"\n", path);
    // The failure messages of the walk come after this line in a joint log.
    errno = 0;
    std::fflush(stdout);
    process_note_stdout_error();
}

} // namespace

int process_input(const char* path, const char* pattern) {
    struct stat status;
    if (stat(path, &status) != 0) {
        std::fprintf(stderr, "Cannot open input file or folder\n");
        return 1;
    }
    if (opt_recursive) {
        const collection::name_kind kind = collection::classify_name(path);
        if (S_ISDIR(status.st_mode) || kind == collection::name_kind::archive ||
            kind == collection::name_kind::compressed_image) {
            process_announce(collection::printable_path(path).c_str());
            return process_tree(path, pattern);
        }
    } else if (S_ISDIR(status.st_mode)) {
        process_announce(path);
        return process_folder(path, pattern);
    }
    return process_single_file(path, walk_style::single, pattern, stdout, stderr);
}

bool process_check_stdout() {
    errno = 0;
    std::fflush(stdout);
    process_note_stdout_error();
    if (stdout_error == 0) {
        return true;
    }
    std::fprintf(stderr, "Cannot write to standard output: %s\n", std::strerror(stdout_error));
    return false;
}
