// The front end's settings, set only by the option parser, and the processing of
// the path they apply to.
#ifndef FLOPPEEK_FRONT_END_H
#define FLOPPEEK_FRONT_END_H

#include <cstdint>
#include <vector>

// What was asked for on the command line.
enum : int32_t { k_request_directory = 0, k_request_bam = 1, k_request_find = 2 };
// --unicode[=upper|lower]: names in Unicode, in the C64's uppercase or lowercase set.
enum : int32_t { k_unicode_off = 0, k_unicode_upper = 1, k_unicode_lower = 2 };

// The command line's settings: the requested report and its modifiers (opt_, mod_),
// then the long options.
struct command_line {
    int32_t opt_request = k_request_directory;
    bool mod_include_scratched = false; // -s
    bool mod_include_errors = false;    // -e
    bool mod_wide_output = false;       // -w
    // Images worked on at once in a folder (--jobs), 1 to 256; 0 until --jobs or the
    // CPU count sets it.
    unsigned opt_jobs = 0;
    bool opt_recursive = false; // --recursive: descend into subfolders and archives
    bool opt_json = false;      // --json: one JSON record per image instead of the reports
    int32_t opt_unicode = k_unicode_off;
    const char* opt_extract = nullptr; // --extract=DIR: where the files go, or null
    bool opt_check = false;            // --check: the file-system check of every image
    // --dat=FILE (each one given), --missing, --make-dat=NAME: known dumps.
    std::vector<const char*> opt_dats;
    bool opt_missing = false;
    const char* opt_make_dat = nullptr;
    // A long option was given: the run is none of the original command lines, and its
    // messages may say more than theirs.
    bool long_options = false;
};

// process_input() :
//   Runs the reports `options` ask for on the image, folder or (with --recursive) tree
//   or archive at `path`. Returns 0, the number of images that failed, or 1 when the
//   path cannot be used.
int process_input(const command_line& options, const char* path, const char* pattern);

// process_check_stdout() :
//   Flushes standard output; when anything written to it was lost, says so once on
//   standard error. @return false then.
bool process_check_stdout();

#endif // FLOPPEEK_FRONT_END_H
