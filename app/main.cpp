// floppeek: prints the directory, the BAM or a name search of one D64 image or of
// every D64 image in a folder.
#include "fileio.h"
#include "ordered_pool.h"
#include "trakvol.h"

#include <openssl/crypto.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#ifndef FLOPPEEK_VERSION
#define FLOPPEEK_VERSION "1.4"
#endif
#ifndef FLOPPEEK_FULL_VERSION
#define FLOPPEEK_FULL_VERSION FLOPPEEK_VERSION ".0"
#endif

namespace {

// What was asked for on the command line; set only by the option parser.
enum : int32_t { k_request_directory = 0, k_request_bam = 1, k_request_find = 2 };
int32_t opt_request = k_request_directory;
bool mod_include_scratched = false;
bool mod_include_errors = false;
bool mod_wide_output = false;
// Images worked on at once in a folder; 0 until --jobs or the CPU count sets it.
unsigned opt_jobs = 0;

// The shell passes the exit status on modulo 256: a count of failed images is
// capped so that 256 failures never read as success.
constexpr int k_max_exit_status = 255;
constexpr unsigned k_max_jobs = 256;
// Outputs taken but not yet written, per worker: enough to keep every worker busy
// while a slow image holds up the front, few enough to keep memory flat.
constexpr std::size_t k_window_per_job = 4;

// The usage text is what scripts and users have seen for years; it keeps naming
// the library generation 2.0 whatever the minor version linked.
void usage(const char* program_name, FILE* stream) {
    std::fprintf(stream, "Parses D64 files and extracts various information\n");
    std::fprintf(stream, "Uses the trakvol v2.0 library by the same author\n\n");
    std::fprintf(stream, "Usage: %s [options] [modifiers] \"<input filename or folder>\"\n",
                 program_name);
    std::fprintf(stream, "\nOptions:\n");
    std::fprintf(stream, "   -d: Show directory listing (default)\n");
    std::fprintf(stream, "   -b: Dump BAM contents\n");
    std::fprintf(stream, "   -f \"<search pattern>\": Find file that matches a pattern (use * "
                         "as wildcard)\n");
    std::fprintf(stream, "\nModifiers:\n");
    std::fprintf(stream, "   -s: Include SCRatched files in directory listing\n");
    std::fprintf(stream, "   -w: Include additional file information in directory listing\n");
    std::fprintf(stream, "   -e: Include sector error info in BAM dump\n");
    std::fprintf(stream, "\nExamples:\n");
    std::fprintf(stream, "   %s -s \"0020A_UTILITIES.D64\"\n", program_name);
    std::fprintf(stream, "   %s -b -e \"Disk images\"\n", program_name);
}

void help(const char* program_name) {
    usage(program_name, stdout);
    std::printf("\nLong options (anywhere before the path):\n");
    std::printf("   --jobs=N, --jobs N: Work on N images of a folder at once, 1 to %u\n"
                "      (default: the CPUs this process may run on); the output is the same\n",
                k_max_jobs);
    std::printf("   --help: Show this text\n");
    std::printf("   --version: Show the versions of floppeek, trakvol and OpenSSL\n");
}

void version() {
    std::printf("floppeek " FLOPPEEK_FULL_VERSION " (trakvol %d.%d.%d)\n", TRAKVOL_VERSION_MAJOR,
                TRAKVOL_VERSION_MINOR, TRAKVOL_VERSION_PATCH);
    std::printf("%s\n", OpenSSL_version(OPENSSL_VERSION));
}

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

// Load, recognise, report, release; the report goes to `out`, a failure to `err`.
// 0 when a report ran, 1 otherwise.
int process_single_file(const char* path, const char* pattern, FILE* out, FILE* err) {
    unsigned char* buffer = nullptr;
    size_t length = 0;
    if (!fileio_get_file_contents_to(path, &buffer, &length, err)) {
        return 1;
    }
    d64_disk* disk = nullptr;
    if (!d64_init_disk(&disk, buffer, length)) {
        std::fprintf(err, "Input file not recognized as a supported D64 image\n");
        std::free(buffer);
        return 1;
    }
    process_report(disk, pattern, out);
    std::free(disk);
    std::free(buffer);
    return 0;
}

// A stream that collects what is written to it into `text` when closed.
struct memory_stream {
    char* data = nullptr;
    size_t length = 0;
    FILE* stream = open_memstream(&data, &length);

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
};

// One image of a folder, its output collected for the ordered writer.
workpool::output process_folder_entry(const std::string& name, const char* pattern) {
    memory_stream out;
    memory_stream err;
    if (out.stream == nullptr || err.stream == nullptr) {
        throw std::bad_alloc();
    }
    std::fprintf(out.stream, "\nParsing: \"%s\"\n", name.c_str());
    const int failed = process_single_file(name.c_str(), pattern, out.stream, err.stream);
    return workpool::output{out.take(), err.take(), failed};
}

// Standard output as the ordered writer sees it: the first failed write is
// remembered with its reason, and stops the walk.
int stdout_error = 0;

void process_note_stdout_error() {
    if (std::ferror(stdout) && stdout_error == 0) {
        stdout_error = errno != 0 ? errno : EIO;
    }
}

bool process_write_output(workpool::output&& output) {
    errno = 0;
    std::fwrite(output.out.data(), 1, output.out.size(), stdout);
    if (!output.err.empty()) {
        // A log of both streams keeps each message after the lines it belongs to.
        std::fflush(stdout);
    }
    process_note_stdout_error();
    std::fwrite(output.err.data(), 1, output.err.size(), stderr);
    return stdout_error == 0;
}

// Flushes standard output and says once, on standard error, if it could not be
// written. @return true when everything written reached it.
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
    int failed = 0;
    const auto next_image = [&]() -> workpool::job {
        while (const dirent* item = readdir(folder)) {
            if (process_is_image_name(item->d_name)) {
                return [name = std::string(item->d_name), pattern] {
                    return process_folder_entry(name, pattern);
                };
            }
        }
        return {};
    };
    const auto write = [&](workpool::output&& output) {
        failed += output.failed;
        return process_write_output(std::move(output));
    };
    workpool::run_in_order(opt_jobs, opt_jobs * k_window_per_job, next_image, write);
    closedir(folder);
    return failed;
}

int process_input(const char* path, const char* pattern) {
    struct stat status;
    if (stat(path, &status) != 0) {
        std::fprintf(stderr, "Cannot open input file or folder\n");
        return 1;
    }
    if (S_ISDIR(status.st_mode)) {
        std::printf("Processing all D64 files in \"%s\"\n", path);
        // The failure messages of the walk come after this line in a joint log.
        errno = 0;
        std::fflush(stdout);
        process_note_stdout_error();
        return process_folder(path, pattern);
    }
    return process_single_file(path, pattern, stdout, stderr);
}

// --jobs takes a whole number from 1 to k_max_jobs; anything else ends the run.
bool process_jobs_value(const char* text) {
    const std::string_view value = text != nullptr ? text : "";
    unsigned jobs = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), jobs);
    if (value.empty() || error != std::errc{} || end != value.data() + value.size() || jobs < 1 ||
        jobs > k_max_jobs) {
        std::fprintf(stderr, "floppeek: --jobs needs a number from 1 to %u, not \"%s\"\n",
                     k_max_jobs, text != nullptr ? text : "");
        return false;
    }
    opt_jobs = jobs;
    return true;
}

enum class long_action { go_on, help, version, fail };

// A long option at argv[*next]; may take the following argument as its value.
long_action process_long_option(int argc, char** argv, int* next) {
    const std::string_view option = argv[*next];
    if (option == "--help") {
        return long_action::help;
    }
    if (option == "--version") {
        return long_action::version;
    }
    if (option.starts_with("--jobs=")) {
        return process_jobs_value(argv[*next] + 7) ? long_action::go_on : long_action::fail;
    }
    if (option == "--jobs") {
        const char* value = *next + 1 < argc ? argv[++*next] : nullptr;
        return process_jobs_value(value) ? long_action::go_on : long_action::fail;
    }
    return long_action::go_on; // unknown long options are ignored, like short ones
}

// Parses the options; returns the index of the first argument after them, or -1
// when a long option settled the run (help, version, a bad value), with its status
// in *status.
int process_options(int argc, char** argv, const char** pattern, int* status) {
    // Options come first; only the second character of each is looked at, and
    // unknown ones are ignored. The argument after -f is the pattern, whatever it is.
    // An argument starting with "--" is a long option.
    int next = 1;
    for (; next < argc && argv[next][0] == '-'; ++next) {
        if (argv[next][1] == '-' && argv[next][2] != '\0') {
            switch (process_long_option(argc, argv, &next)) {
            case long_action::go_on:
                continue;
            case long_action::help:
                help(argv[0] ? argv[0] : "floppeek");
                *status = 0;
                return -1;
            case long_action::version:
                version();
                *status = 0;
                return -1;
            case long_action::fail:
                *status = 1;
                return -1;
            }
        }
        switch (argv[next][1]) {
        case 'b':
            opt_request = k_request_bam;
            break;
        case 'e':
            mod_include_errors = true;
            break;
        case 'f':
            opt_request = k_request_find;
            if (next + 1 < argc) {
                *pattern = argv[++next];
            } else {
                ++next; // no pattern and so no path: the command line is unusable
            }
            break;
        case 's':
            mod_include_scratched = true;
            break;
        case 'w':
            mod_wide_output = true;
            break;
        default:
            break;
        }
    }
    return next;
}

} // namespace

int main(int argc, char** argv) {
    const char* pattern = nullptr;
    int status = 1;
    // Help, version and a bad long option answer alone, without the banner.
    const int next = process_options(argc, argv, &pattern, &status);
    if (next < 0) {
        return status != 0 || process_check_stdout() ? status : 1;
    }
    if (opt_jobs == 0) {
        opt_jobs = workpool::available_cpus();
        opt_jobs = opt_jobs > k_max_jobs ? k_max_jobs : opt_jobs;
    }

    std::fprintf(stderr, "floppeek v" FLOPPEEK_VERSION " - D64 disk image inspector\n");
    const char* program_name = argv[0];
    if (argc - next == 1) {
        std::fprintf(stderr, "\n");
        status = process_input(argv[next], pattern);
    } else {
        usage(program_name ? program_name : "floppeek", stderr);
    }
    if (!process_check_stdout() && status == 0) {
        status = 1;
    }
    std::fprintf(stderr, "\n");
    return status > k_max_exit_status ? k_max_exit_status : status;
}
