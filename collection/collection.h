// Where the images of a collection come from: a tree of folders, archives in it
// (zip, 7z, rar, tar, and gzip, bzip2 or xz streams), and archives inside those.
// The walk hands out each image as its bytes with the path a user reads, or the
// reason it could not be read; it never writes anything and never extracts.
#ifndef FLOPPEEK_COLLECTION_H
#define FLOPPEEK_COLLECTION_H

#include <dirent.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace collection {

// The most bytes an image of this name may have: the limit of every read of it. A
// raw track dump's name (".g64", ".nib", ..., compressed or not) allows the longest
// file of its format the library reads whole (8 MiB for a G64, an NB2 of 120
// entries), a tape's, cartridge's or loose file's the longest its format reads; any
// other name the longest sector image of any format the library reads
// (whatever its extension says, the length tells the format).
// Nothing is read beyond one byte more, whatever a file or member claims or unpacks to.
std::size_t image_size_limit(std::string_view name);
// too_large() :
//   The line for an image past its read limit: "Input file too large for a PRG:
//   2097152 bytes", `format` the name the library gives the format ("prg", shown
//   upper-case) or words ("disk image", as they are), `bytes` its size or "more
//   than N bytes".
std::string too_large(std::string_view format, const std::string& bytes);
// too_large_by_name() :
//   The same for a file or member of the walk, its format as its name says it ("a disk
//   image" for the sector images), its size when known, else "more than" the
//   limit; its path after it: `: "<path>"`.
std::string too_large_by_name(std::string_view path, std::optional<std::uint64_t> size);
// Archives inside archives are opened this many levels deep (an archive in a
// folder is level 1).
inline constexpr int k_max_archive_depth = 4;

// One thing the walk found, in the order of the collection.
struct item {
    // Relative to the root: folder, archive and member names joined by '/'. Raw bytes,
    // as the file system or the archive gives them.
    std::string path;
    // For an image inside an archive: the member names, outermost archive first.
    std::vector<std::string> members;
    // true: an image (its bytes, or why they could not be read); false: a folder or an
    // archive that failed as a whole, with `error` saying why.
    bool is_image = true;
    std::vector<std::uint8_t> bytes;
    std::string error; // empty when `bytes` holds what was read
};

using visitor = std::function<void(const item&)>;

// The work for one entry of the tree: a file, an archive with all it holds, or a
// folder that cannot be read. Runs on any thread; calls the visitor once per item.
using unit = std::function<void(const visitor&)>;

// What kind of name a folder entry or an archive member has.
enum class name_kind { other, image, archive, compressed_image };

// The name of every format the library reads (".d64", ".d71", ".d81", ".g64", ...,
// and the tapes, cartridges and loose files: ".t64", ".tap", ".crt", ".prg", ".p00")
// in any case is an image; ".zip", ".7z", ".rar", ".tar",
// ".tar.gz", ".tgz", ".tar.bz2", ".tar.xz", ".gz", ".bz2" and ".xz" are archives, an
// image name with one of the last three is a compressed image; names starting with
// '.' are nothing.
name_kind classify_name(std::string_view name);

// A walk over a folder tree, done on the calling thread one entry at a time.
struct tree_walk {
    struct folder {
        std::string path;                 // relative to the root, "" for the root
        std::vector<std::string> names;   // sorted byte by byte
        std::vector<unsigned char> types; // d_type of each name
        std::size_t next = 0;
    };
    std::string root;
    std::vector<folder> pending; // the folders being walked, innermost last
    bool root_done = false;
};

// start_walk() :
//   A walk over `root`, a folder or an archive file.
tree_walk start_walk(const std::string& root);

// next_unit() :
//   The next entry of the walk in order: the entries of each folder in byte order
//   of their names, each subfolder walked where its name falls. Symbolic links to
//   files are followed, links to folders are not. Returns an empty unit at the end.
unit next_unit(tree_walk& walk);

// walk_archive_bytes() :
//   Visits the images of an archive held in memory, as the walk does for an archive
//   file named `path` (whose name tells whether it may be a bare compressed stream).
void walk_archive_bytes(const std::string& path, const std::uint8_t* data, std::size_t size,
                        const visitor& visit);

// A flat folder, as a run without --recursive reads it: the entries whose name ends in
// exactly ".d64" or ".D64" (hidden names never), in the order the folder lists them,
// each to be read as a D64 by its bare name.
struct flat_folder {
    std::unique_ptr<DIR, int (*)(DIR*)> handle{nullptr, closedir};
};

// open_flat_folder() :
//   Opens the folder at `path` and makes it the working directory, which the run
//   keeps. @return false with the message to print, without a line break ("Cannot open
//   input folder", "Cannot chdir to input folder"), in *message.
bool open_flat_folder(const char* path, flat_folder& folder, std::string* message);

// next_flat_image() :
//   The next image's bare name, or "" at the end.
std::string next_flat_image(flat_folder& folder);

// control_length() :
//   The bytes of the control character at `at` (a C0 or C1 control, DEL, or a
//   bidirectional control in UTF-8), or 0 when the character there is none.
std::size_t control_length(std::string_view text, std::size_t at);

// Bytes below 0x20 and 0x7F, and the UTF-8 of the C1 controls and of the
// bidirectional controls, become '?', as a terminal listing shows names (and every
// text a DAT file gives); the JSON record keeps the exact bytes.
std::string printable_path(std::string_view path);

} // namespace collection

#endif // FLOPPEEK_COLLECTION_H
