// What one image gives: its text report, its JSON record (and, later, its files),
// made from its bytes or from the reason they could not be read. Runs on any thread
// and writes only to the streams it is given.
#ifndef FLOPPEEK_OUTPUTS_H
#define FLOPPEEK_OUTPUTS_H

#include "trakvol.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace verify {
struct catalog;
struct tally;
} // namespace verify

namespace outputs {

struct extraction_root;

// What the command line asked for.
enum class request { directory, bam, find };

struct settings {
    request what = request::directory;
    bool include_scratched = false;          // -s
    bool include_errors = false;             // -e
    bool wide = false;                       // -w
    const char* pattern = nullptr;           // -f
    bool json = false;                       // --json
    bool unicode = false;                    // --unicode: names in the text reports in Unicode
    d64_charset charset = D64_CHARSET_UPPER; // of --unicode, and of the JSON record's names
    d64_controls controls = D64_CONTROLS_REPLACED; // reversed on a terminal
    const extraction_root* extract = nullptr;      // --extract: where the files go
    bool check = false;                            // --check: the file-system check of every image
    bool check_only = false; // --check without a report option: only the check's lines
    bool listing = true;     // the report of -d/-w/-b/-f is printed (not with --check or
                             // --dat alone)
    const verify::catalog* dats = nullptr; // --dat: the known dumps to match against
    verify::tally* tally = nullptr;        // what the run's images matched
    bool make_dat = false;                 // --make-dat: each image as a DAT's game
};

// How the run names its images: the one image of the command line, the entries of
// a folder (by their bare names, read as D64 only), or the items of a tree (paths
// from the root, with control bytes shown as '?', and in every message).
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

// render() :
//   Writes what `how` asks for of one image to `out`, its failure to `err`; with an
//   extraction root, also its files, each reported on `err`.
//   @return the failures: 1 when the image failed or its check found an error, plus
//   each file not extracted.
int render(const image_view& view, walk_style style, const settings& how, FILE* out, FILE* err);

// render_file() :
//   Reads the image file at `path` whole, then as render().
int render_file(const std::string& path, walk_style style, const settings& how, FILE* out,
                FILE* err);

// format_table() :
//   The formats the library reads, a line each, with what tells each one (--formats).
void format_table(FILE* out);

// missing_roms() :
//   The roms of `dats` no image of the run matched (--missing), a line each on `out`:
//   as text, or as JSON records.
void missing_roms(const verify::catalog& dats, const verify::tally& run, bool json, FILE* out);

// A stream that collects what is written to it.
struct memory_stream {
    char* data = nullptr;
    std::size_t length = 0;
    FILE* stream;

    memory_stream();
    ~memory_stream();
    // What was written; the stream is closed.
    std::string take();
    memory_stream(const memory_stream&) = delete;
    memory_stream& operator=(const memory_stream&) = delete;
};

} // namespace outputs

#endif // FLOPPEEK_OUTPUTS_H
