// floppeek: prints the directory, the BAM or a name search of one D64 image or of
// every D64 image in a folder.
#include "fileio.h"
#include "trakvol.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef FLOPPEEK_VERSION
#define FLOPPEEK_VERSION "1.4"
#endif
#ifndef TRAKVOL_VERSION
#define TRAKVOL_VERSION "2.0"
#endif

namespace {

// What was asked for on the command line; set only by the option parser.
enum : int32_t { k_request_directory = 0, k_request_bam = 1, k_request_find = 2 };
int32_t opt_request = k_request_directory;
bool mod_include_scratched = false;
bool mod_include_errors = false;
bool mod_wide_output = false;

// The shell passes the exit status on modulo 256: a count of failed images is
// capped so that 256 failures never read as success.
constexpr int k_max_exit_status = 255;

void usage(const char* program_name) {
    std::fprintf(stderr, "Parses D64 files and extracts various information\n");
    std::fprintf(stderr, "Uses the trakvol v" TRAKVOL_VERSION " library by the same author\n\n");
    std::fprintf(stderr, "Usage: %s [options] [modifiers] \"<input filename or folder>\"\n",
                 program_name);
    std::fprintf(stderr, "\nOptions:\n");
    std::fprintf(stderr, "   -d: Show directory listing (default)\n");
    std::fprintf(stderr, "   -b: Dump BAM contents\n");
    std::fprintf(stderr, "   -f \"<search pattern>\": Find file that matches a pattern (use * "
                         "as wildcard)\n");
    std::fprintf(stderr, "\nModifiers:\n");
    std::fprintf(stderr, "   -s: Include SCRatched files in directory listing\n");
    std::fprintf(stderr, "   -w: Include additional file information in directory listing\n");
    std::fprintf(stderr, "   -e: Include sector error info in BAM dump\n");
    std::fprintf(stderr, "\nExamples:\n");
    std::fprintf(stderr, "   %s -s \"0020A_UTILITIES.D64\"\n", program_name);
    std::fprintf(stderr, "   %s -b -e \"Disk images\"\n", program_name);
}

void process_report(const d64_disk* disk, const char* pattern) {
    switch (opt_request) {
    case k_request_find: {
        bool found = false;
        d64_find_pattern(disk, pattern, &found);
        break;
    }
    case k_request_bam:
        d64_dump_bam_contents(disk, mod_include_errors, stdout);
        break;
    default:
        d64_dump_directory_contents(disk, mod_include_scratched, mod_wide_output, stdout);
        break;
    }
}

// Load, recognise, report, release. 0 when a report ran, 1 otherwise.
int process_single_file(const char* path, const char* pattern) {
    unsigned char* buffer = nullptr;
    size_t length = 0;
    if (!fileio_get_file_contents(path, &buffer, &length)) {
        return 1;
    }
    d64_disk* disk = nullptr;
    if (!d64_init_disk(&disk, buffer, length)) {
        std::fprintf(stderr, "Input file not recognized as a supported D64 image\n");
        std::free(buffer);
        return 1;
    }
    process_report(disk, pattern);
    std::free(disk);
    std::free(buffer);
    return 0;
}

// Only "d64" or "D64" after the last dot counts; hidden names never do.
bool process_is_image_name(const char* name) {
    if (name[0] == '.') {
        return false;
    }
    const char* dot = std::strrchr(name, '.');
    return dot != nullptr && (std::strcmp(dot + 1, "d64") == 0 || std::strcmp(dot + 1, "D64") == 0);
}

// Every image of the folder, in the order the folder lists them. Returns the number
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
    while (const dirent* item = readdir(folder)) {
        if (!process_is_image_name(item->d_name)) {
            continue;
        }
        std::printf("\nParsing: \"%s\"\n", item->d_name);
        failed += process_single_file(item->d_name, pattern);
    }
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
        return process_folder(path, pattern);
    }
    return process_single_file(path, pattern);
}

} // namespace

int main(int argc, char** argv) {
    std::fprintf(stderr, "floppeek v" FLOPPEEK_VERSION " - D64 disk image inspector\n");
    const char* program_name = argv[0];
    const char* pattern = nullptr;

    // Options come first; only the second character of each is looked at, and
    // unknown ones are ignored. The argument after -f is the pattern, whatever it is.
    int next = 1;
    for (; next < argc && argv[next][0] == '-'; ++next) {
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
                pattern = argv[++next];
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

    int status = 1;
    if (argc - next == 1) {
        std::fprintf(stderr, "\n");
        status = process_input(argv[next], pattern);
    } else {
        usage(program_name ? program_name : "floppeek");
    }
    std::fprintf(stderr, "\n");
    return status > k_max_exit_status ? k_max_exit_status : status;
}
