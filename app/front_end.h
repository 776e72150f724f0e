// The front end's settings, set only by the option parser, and the processing of
// the path they apply to.
#ifndef FLOPPEEK_FRONT_END_H
#define FLOPPEEK_FRONT_END_H

#include <cstdint>
#include <vector>

// What was asked for on the command line.
enum : int32_t { k_request_directory = 0, k_request_bam = 1, k_request_find = 2 };
extern int32_t opt_request;
extern bool mod_include_scratched;
extern bool mod_include_errors;
extern bool mod_wide_output;
// Images worked on at once in a folder (--jobs), 1 to 256.
extern unsigned opt_jobs;
// --recursive: descend into subfolders and archives.
extern bool opt_recursive;
// --json: one JSON record per image instead of the text reports.
extern bool opt_json;
// --unicode[=upper|lower]: names in Unicode, in the C64's uppercase or lowercase set.
enum : int32_t { k_unicode_off = 0, k_unicode_upper = 1, k_unicode_lower = 2 };
extern int32_t opt_unicode;
// --extract=DIR: the folder the files of every image are written to, or null.
extern const char* opt_extract;
// --check: the file-system check of every image.
extern bool opt_check;
// --dat=FILE (each one given), --missing, --make-dat=NAME: known dumps.
extern std::vector<const char*> opt_dats;
extern bool opt_missing;
extern const char* opt_make_dat;

// process_input() :
//   Runs the requested report on the image, folder or (with --recursive) tree or
//   archive at `path`. Returns 0, the number of images that failed, or 1 when the
//   path cannot be used.
int process_input(const char* path, const char* pattern);

// process_check_stdout() :
//   Flushes standard output; when anything written to it was lost, says so once on
//   standard error. @return false then.
bool process_check_stdout();

#endif // FLOPPEEK_FRONT_END_H
