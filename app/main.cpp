// floppeek: prints the directory, the BAM or a name search of one D64 image or of
// every D64 image in a folder.
#include "front_end.h"
#include "ordered_pool.h"
#include "trakvol.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <malloc.h>
#include <string_view>
#include <vector>

#ifndef FLOPPEEK_VERSION
#define FLOPPEEK_VERSION "1.4"
#endif
#ifndef FLOPPEEK_FULL_VERSION
#define FLOPPEEK_FULL_VERSION FLOPPEEK_VERSION ".0"
#endif

int32_t opt_request = k_request_directory;
bool mod_include_scratched = false;
bool mod_include_errors = false;
bool mod_wide_output = false;
unsigned opt_jobs = 0; // until --jobs or the CPU count sets it
bool opt_recursive = false;
bool opt_json = false;
int32_t opt_unicode = k_unicode_off;
const char* opt_extract = nullptr;
bool opt_check = false;
std::vector<const char*> opt_dats;
bool opt_missing = false;
const char* opt_make_dat = nullptr;

namespace {

// The shell passes the exit status on modulo 256: a count of failed images is
// capped so that 256 failures never read as success.
constexpr int k_max_exit_status = 255;
constexpr unsigned k_max_jobs = 256;

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
    std::printf("   --recursive: Also look into subfolders and archives (zip, 7z, rar, tar,\n"
                "      gz, bz2, xz), also when the path is an archive\n");
    std::printf("   --json: Print one JSON record per image (JSON Lines) instead of the\n"
                "      reports; -f keeps the images with a matching name\n");
    std::printf("   --unicode[=upper|lower]: Show disk and file names as the C64 shows them, in\n"
                "      Unicode, in its uppercase/graphics (default) or lowercase character set\n");
    std::printf("   --extract=DIR, --extract DIR: Also write every PRG, SEQ, USR and REL file\n"
                "      into DIR/<image path>/, never overwriting anything\n");
    std::printf("   --check: Check each image's file system (read only): a verdict line and a\n"
                "      line per problem; the exit status counts the images with errors.\n"
                "      With -w, -s, -b or -f the report comes first\n");
    std::printf("   --dat=FILE, --dat FILE: Match every image against the known dumps of a\n"
                "      DAT file (Logiqx XML, plain, gzip or zipped; repeatable): one line per\n"
                "      image, a summary per DAT on standard error\n");
    std::printf("   --missing: With --dat, also list the roms no image matched\n");
    std::printf("   --make-dat=NAME: Write a DAT of the images instead of any report\n");
    std::printf("   --help: Show this text\n");
    std::printf("   --version: Show the versions of floppeek, trakvol and OpenSSL\n");
}

void version() {
    std::printf("floppeek " FLOPPEEK_FULL_VERSION " (trakvol %d.%d.%d)\n", TRAKVOL_VERSION_MAJOR,
                TRAKVOL_VERSION_MINOR, TRAKVOL_VERSION_PATCH);
    std::printf("%s\n", OpenSSL_version(OPENSSL_VERSION));
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

// --unicode takes no value (the uppercase set), "=upper" or "=lower".
bool process_unicode_value(std::string_view option) {
    if (option == "--unicode" || option == "--unicode=upper") {
        opt_unicode = k_unicode_upper;
        return true;
    }
    if (option == "--unicode=lower") {
        opt_unicode = k_unicode_lower;
        return true;
    }
    std::fprintf(stderr, "floppeek: --unicode takes upper or lower, not \"%.*s\"\n",
                 static_cast<int>(option.size() - std::min<size_t>(option.size(), 10)),
                 option.data() + std::min<size_t>(option.size(), 10));
    return false;
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
    if (option == "--recursive") {
        opt_recursive = true;
        return long_action::go_on;
    }
    if (option == "--json") {
        opt_json = true;
        return long_action::go_on;
    }
    if (option == "--check") {
        opt_check = true;
        return long_action::go_on;
    }
    if (option == "--missing") {
        opt_missing = true;
        return long_action::go_on;
    }
    if (option.starts_with("--dat=")) {
        opt_dats.push_back(argv[*next] + 6);
        return long_action::go_on;
    }
    if (option == "--dat") {
        if (*next + 1 >= argc) {
            std::fprintf(stderr, "floppeek: --dat needs a DAT file\n");
            return long_action::fail;
        }
        opt_dats.push_back(argv[++*next]);
        return long_action::go_on;
    }
    if (option.starts_with("--make-dat=")) {
        opt_make_dat = argv[*next] + 11;
        return long_action::go_on;
    }
    if (option == "--unicode" || option.starts_with("--unicode=")) {
        return process_unicode_value(option) ? long_action::go_on : long_action::fail;
    }
    if (option.starts_with("--extract=")) {
        opt_extract = argv[*next] + 10;
        return long_action::go_on;
    }
    if (option == "--extract") {
        if (*next + 1 >= argc) {
            std::fprintf(stderr, "floppeek: --extract needs a folder\n");
            return long_action::fail;
        }
        opt_extract = argv[++*next];
        return long_action::go_on;
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
    // Every image, and every archive reader, allocates and frees blocks of a few
    // hundred KiB. Kept in the heap, they are reused; mapped and unmapped each time,
    // they cost a page fault per 4 KiB of every image.
    mallopt(M_MMAP_THRESHOLD, 4 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
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
