// floppeek: prints the directory, the BAM or a name search of one D64 image or of
// every D64 image in a folder.
#include "collection.h"
#include "front_end.h"
#include "ordered_pool.h"
#include "outputs.h"
#include "trakvol.h"

#include <nettle/version.h>

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
                "      DAT file (Logiqx XML, MAME software list or ClrMamePro text; plain,\n"
                "      compressed or zipped; repeatable): one line per image, a summary per\n"
                "      DAT on standard error\n");
    std::printf("   --missing: With --dat, also list the roms no image matched\n");
    std::printf("   --make-dat=NAME, --make-dat NAME: Write a DAT of the images instead of any\n"
                "      report\n");
    std::printf("   --formats: List the formats read, with their sizes or signatures\n");
    std::printf("   --help: Show this text\n");
    std::printf("   --version: Show the versions of floppeek, trakvol and Nettle\n");
}

void version() {
    std::printf("floppeek " FLOPPEEK_FULL_VERSION " (trakvol %d.%d.%d)\n", TRAKVOL_VERSION_MAJOR,
                TRAKVOL_VERSION_MINOR, TRAKVOL_VERSION_PATCH);
    std::printf("GNU Nettle %d.%d\n", nettle_version_major(), nettle_version_minor());
}

// --jobs takes a whole number from 1 to k_max_jobs; anything else ends the run.
bool process_jobs_value(command_line& options, const char* text) {
    const std::string_view value = text != nullptr ? text : "";
    unsigned jobs = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), jobs);
    if (value.empty() || error != std::errc{} || end != value.data() + value.size() || jobs < 1 ||
        jobs > k_max_jobs) {
        std::fprintf(stderr, "floppeek: --jobs needs a number from 1 to %u, not \"%s\"\n",
                     k_max_jobs, text != nullptr ? text : "");
        return false;
    }
    options.opt_jobs = jobs;
    return true;
}

// --unicode takes no value (the uppercase set), "=upper" or "=lower".
bool process_unicode_value(command_line& options, const char* value) {
    const std::string_view set = value != nullptr ? value : "upper";
    if (set == "upper" || set == "lower") {
        options.opt_unicode = set == "upper" ? k_unicode_upper : k_unicode_lower;
        return true;
    }
    std::fprintf(stderr, "floppeek: --unicode takes upper or lower, not \"%s\"\n", value);
    return false;
}

enum class long_action { go_on, help, version, formats, fail };

// A long option: its name, how it takes a value, and what it sets.
struct long_option {
    std::string_view name;
    // none: "--name" alone; attached: "--name" or "--name=VALUE"; required:
    // "--name=VALUE" or "--name VALUE".
    enum { none, attached, required } value;
    const char* missing; // the message when a required value is missing
    long_action (*apply)(command_line& options, const char* value);
};

long_action set_flag(bool command_line::*flag, command_line& options) {
    options.*flag = true;
    return long_action::go_on;
}

constexpr long_option k_long_options[] = {
    {"help", long_option::none, nullptr,
     [](command_line&, const char*) { return long_action::help; }},
    {"version", long_option::none, nullptr,
     [](command_line&, const char*) { return long_action::version; }},
    {"formats", long_option::none, nullptr,
     [](command_line&, const char*) { return long_action::formats; }},
    {"recursive", long_option::none, nullptr,
     [](command_line& o, const char*) { return set_flag(&command_line::opt_recursive, o); }},
    {"json", long_option::none, nullptr,
     [](command_line& o, const char*) { return set_flag(&command_line::opt_json, o); }},
    {"check", long_option::none, nullptr,
     [](command_line& o, const char*) { return set_flag(&command_line::opt_check, o); }},
    {"missing", long_option::none, nullptr,
     [](command_line& o, const char*) { return set_flag(&command_line::opt_missing, o); }},
    {"dat", long_option::required, "a DAT file",
     [](command_line& o, const char* value) {
         o.opt_dats.push_back(value);
         return long_action::go_on;
     }},
    {"make-dat", long_option::required, "a name",
     [](command_line& o, const char* value) {
         o.opt_make_dat = value;
         return long_action::go_on;
     }},
    {"unicode", long_option::attached, nullptr,
     [](command_line& o, const char* value) {
         return process_unicode_value(o, value) ? long_action::go_on : long_action::fail;
     }},
    {"extract", long_option::required, "a folder",
     [](command_line& o, const char* value) {
         o.opt_extract = value;
         return long_action::go_on;
     }},
    {"jobs", long_option::required, nullptr,
     [](command_line& o, const char* value) {
         return process_jobs_value(o, value) ? long_action::go_on : long_action::fail;
     }},
};

// Edits that turn one name into the other (insertions, deletions, replacements).
std::size_t edit_distance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// An argument that looks like a long option and is none: said in one line, with the
// nearest known option when it is a slip of one or two characters away.
void process_unknown_option(std::string_view argument) {
    const std::string_view name = argument.substr(2, argument.find('=') - 2);
    const long_option* nearest = nullptr;
    std::size_t best = 3;
    for (const long_option& option : k_long_options) {
        const std::size_t distance = edit_distance(name, option.name);
        if (distance < best && distance < option.name.size()) {
            best = distance;
            nearest = &option;
        }
    }
    std::string line = "Unknown option \"" + collection::printable_path(argument) + "\"";
    if (nearest != nullptr) {
        line += "; did you mean \"--" + std::string(nearest->name) + "\"?";
    }
    std::fprintf(stderr, "%s\n", line.c_str());
}

// A long option at argv[*next]; may take the following argument as its value.
long_action process_long_option(command_line& options, int argc, char** argv, int* next) {
    const std::string_view argument = argv[*next];
    const std::size_t equals = argument.find('=');
    const std::string_view name = argument.substr(2, equals - 2);
    for (const long_option& option : k_long_options) {
        if (option.name != name ||
            (equals != std::string_view::npos && option.value == long_option::none)) {
            continue;
        }
        options.long_options = true;
        const char* value = equals != std::string_view::npos ? argv[*next] + equals + 1 : nullptr;
        if (value == nullptr && option.value == long_option::required) {
            if (*next + 1 >= argc) {
                if (option.missing != nullptr) {
                    std::fprintf(stderr, "floppeek: --%s needs %s\n", argv[*next] + 2,
                                 option.missing);
                    return long_action::fail;
                }
            } else {
                value = argv[++*next];
            }
        }
        return option.apply(options, value);
    }
    process_unknown_option(argument);
    usage(argv[0] != nullptr ? argv[0] : "floppeek", stderr);
    return long_action::fail;
}

// Parses the options; returns the index of the first argument after them, or -1
// when a long option settled the run (help, version, a bad value or an unknown
// option), with its status in *status.
int process_options(command_line& options, int argc, char** argv, const char** pattern,
                    int* status) {
    // Options come first; only the second character of a short one is looked at, and
    // unknown short ones are ignored. The argument after -f is the pattern, whatever it
    // is. An argument starting with "--" is a long option; "--" alone is nothing.
    int next = 1;
    for (; next < argc && argv[next][0] == '-'; ++next) {
        if (argv[next][1] == '-' && argv[next][2] != '\0') {
            switch (process_long_option(options, argc, argv, &next)) {
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
            case long_action::formats:
                outputs::format_table(stdout);
                *status = 0;
                return -1;
            case long_action::fail:
                *status = 1;
                return -1;
            }
        }
        switch (argv[next][1]) {
        case 'b':
            options.opt_request = k_request_bam;
            break;
        case 'e':
            options.mod_include_errors = true;
            break;
        case 'f':
            options.opt_request = k_request_find;
            if (next + 1 < argc) {
                *pattern = argv[++next];
            } else {
                ++next; // no pattern and so no path: the command line is unusable
            }
            break;
        case 's':
            options.mod_include_scratched = true;
            break;
        case 'w':
            options.mod_wide_output = true;
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
    command_line options;
    // Help, version and a bad long option answer alone, without the banner.
    const int next = process_options(options, argc, argv, &pattern, &status);
    if (next < 0) {
        return status != 0 || process_check_stdout() ? status : 1;
    }
    if (options.opt_jobs == 0) {
        options.opt_jobs = std::min(workpool::available_cpus(), k_max_jobs);
    }

    std::fprintf(stderr,
                 "floppeek v" FLOPPEEK_VERSION " - Commodore disk, tape and cartridge inspector\n");
    const char* program_name = argv[0];
    if (argc - next == 1) {
        std::fprintf(stderr, "\n");
        status = process_input(options, argv[next], pattern);
    } else {
        usage(program_name ? program_name : "floppeek", stderr);
    }
    if (!process_check_stdout() && status == 0) {
        status = 1;
    }
    std::fprintf(stderr, "\n");
    return status > k_max_exit_status ? k_max_exit_status : status;
}
