// The whole inspection of one image as data: what the listing, the wide listing,
// the BAM report and the search know of it, read through the d64_ functions, and
// its JSON record, one line per image.
#ifndef FLOPPEEK_CATALOGUE_H
#define FLOPPEEK_CATALOGUE_H

#include "trakvol.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace catalogue {

using md5_digest = std::array<std::uint8_t, 16>;
using sha1_digest = std::array<std::uint8_t, 20>;

// A file's sector chain as the wide listing walks it.
struct chain_facts {
    bool ok = false;               // ended properly within the image's sector count
    std::int32_t sectors = 0;      // visited, up to the failure when not ok
    std::int64_t bytes = 0;        // payload; a last sector whose byte 1 is 0 adds none
    std::optional<md5_digest> md5; // of the payload; none when the walk failed
};

// A directory slot the listing with -s shows.
struct file_facts {
    std::int32_t slot = 0;      // the wide listing's sequence number, from 1
    std::uint8_t type_byte = 0; // code in bits 0-5, locked bit 6, closed bit 7
    bool valid_type = false;    // code 0 to 4
    std::string name;           // the text between the listing's quotes
    std::string name_unicode;   // the same part in Unicode, control codes as U+0000-009F
    std::array<std::uint8_t, 16> raw_name{};
    std::int32_t blocks = 0; // as the directory claims, 0 to 65535
    std::uint8_t first_track = 0;
    std::uint8_t first_sector = 0;
    std::optional<chain_facts> chain;     // none for scratched slots, invalid types, partitions
    bool partition = false;               // a 1581 partition: `blocks` sectors from the first
    std::optional<std::string> extracted; // where --extract wrote the file, under its folder
};

struct track_facts {
    std::int32_t track = 0;
    std::uint8_t free = 0; // the BAM entry's free count byte
    std::int32_t used = 0; // sectors the bitmap marks allocated
    std::string map;       // '*' allocated, '.' free, one character per sector
};

struct sector_error {
    std::int32_t track = 0;
    std::int32_t sector = 0;
    std::uint8_t code = 0;
};

// One problem the file-system check found.
struct check_problem {
    d64_check_severity severity = D64_CHECK_INFO;
    d64_check_code code = D64_CHECK_TOO_MANY;
    std::vector<std::int32_t> files;                            // directory slots, from 1
    std::int32_t system = 0;                                    // a D64_OWNER_ value, or 0
    std::vector<std::pair<std::int32_t, std::int32_t>> sectors; // track, sector; sorted
    std::int32_t track = 0;                                     // free_count's track
    std::int32_t count = 0; // lost_file: its sectors; too_many: the problems left out;
                            // block_count: the sectors the file owns
    std::pair<std::int32_t, std::int32_t> first{0, 0}; // lost_file: its first sector
    md5_digest md5{};                                  // lost_file: its payload's MD5
};

// What the check found on a disk: every problem's count, the reported ones in order.
struct check_facts {
    d64_check_summary summary{};
    std::vector<check_problem> problems;
};

// check() :
//   Runs the library's file-system check on the disk.
check_facts check(const d64_disk* disk);

// verdict() :
//   "errors" when the check found an error, else "warnings" when it found a warning,
//   else "ok".
const char* verdict(const check_facts& facts);

// What the DATs say of the image (--dat): its verdict and every rom it matches.
struct dat_match {
    std::string dat; // the DAT's header name
    std::string game;
    std::string rom;
    std::optional<std::string> status; // as the rom gives it
    std::string by;                    // "sha1", "md5" or "crc32"
    std::optional<std::string> normal_form;
    std::optional<std::string> named; // the rom's name, when it is not the image's
};
struct dat_facts {
    std::string verdict; // "known", "bad", "near", "unknown"
    std::vector<dat_match> matches;
};

// missing_line() :
//   The record of a rom no image matched (--missing with --json), with its "\n".
std::string missing_line(const std::string& dat, const std::string& game, const std::string& rom);

// The whole image's size and digests, as DAT files list them.
struct image_digests {
    std::uint64_t size = 0;
    md5_digest md5{};
    sha1_digest sha1{};
    std::uint32_t crc32 = 0; // the CRC-32 of DAT files and zip archives
};

// digests_of() :
//   The digests of `size` bytes, each computed once. Call needs_crc32() first.
image_digests digests_of(const std::uint8_t* bytes, std::size_t size);

// needs_crc32() :
//   Loads zlib, whose CRC-32 digests_of() uses, for a run that needs digests.
//   @return false, with the line to print in *message, when it cannot be loaded.
bool needs_crc32(std::string* message);

struct image_facts {
    d64_format format = D64_FORMAT_D64;
    std::uint64_t size = 0;
    std::int32_t tracks = 0;
    bool error_info = false;
    md5_digest md5{}; // of the whole image as read
    sha1_digest sha1{};
    std::uint32_t crc32 = 0;       // the CRC-32 of DAT files and zip archives
    std::string disk_name;         // as the listing shows it, before the padding
    std::string disk_name_unicode; // the same in Unicode, control codes as U+0000-009F
    std::string disk_id_unicode;
    std::array<std::uint8_t, 16> raw_disk_name{};
    std::string disk_id;
    std::array<std::uint8_t, 5> raw_disk_id{};
    bool header_ok = false; // the header links to the directory at 18/1
    std::int32_t free_blocks = 0;
    // A D64's layout of the BAM entries of tracks 36 and up, and the free count read
    // with it (none when the layout is unknown or the disk has 35 tracks).
    d64_bam_layout bam_layout = D64_BAM_LAYOUT_NONE;
    std::optional<std::int32_t> free_blocks_in_layout;
    std::vector<file_facts> files;
    std::vector<track_facts> bam;
    std::vector<sector_error> errors;          // every sector whose code is not 1
    std::optional<d64_decode_facts> decode;    // what the decode of a raw track dump found
    bool track_captures = false;               // a dump of the drive's reads (NIB, NB2)
    bool extracting = false;                   // the run extracts: every file says where it went
    std::optional<check_facts> check;          // with --check
    std::optional<dat_facts> dat;              // with --dat
};

// inspect() :
//   Everything the reports know of the image `disk` was made from (its digests
//   `image`), the names in Unicode too, in the character set `set`.
image_facts inspect(const d64_disk* disk, const image_digests& image,
                    d64_charset set = D64_CHARSET_UPPER);
// The same from the image's bytes.
image_facts inspect(const d64_disk* disk, const std::uint8_t* bytes, std::size_t size,
                    d64_charset set = D64_CHARSET_UPPER);

// matching_names() :
//   Every directory name that matches `pattern` as the search matches it (the name
//   converted with its padding, case ignored), in directory order.
std::vector<std::string> matching_names(const d64_disk* disk, const char* pattern);

// Where the record says the image was found.
struct origin {
    const std::string& path;                 // as the text mode's Parsing: line names it
    const std::vector<std::string>& members; // archive members, outermost first
};

// ---------------------------------------------------------------------------
// Tapes, cartridges and loose files
// ---------------------------------------------------------------------------

// A problem a container reader noted, of the container (slot 0) or of a file.
struct container_problem {
    d64_check_severity severity = D64_CHECK_WARNING;
    std::string code; // "end_address_wrong", ...
    std::int32_t slot = 0;
};

// A file of a T64, TAP, P00 or PRG, as a disk holds it.
struct container_file_facts {
    std::int32_t slot = 0;
    std::uint8_t type_byte = 0;
    std::string name;         // as the listing quotes it
    std::string name_unicode; // the same part in Unicode
    std::string name_rest;    // what the listing shows after the closing quote: the
                              // name after its first shifted space
    std::string name_rest_unicode;
    std::array<std::uint8_t, 16> raw_name{};
    bool has_load_address = false;
    bool has_addresses = false; // the container gives the load and end address
    std::uint16_t load_address = 0;
    std::uint16_t end_address = 0;
    std::optional<std::int32_t> tape_type; // a TAP's header type: 1 relocatable, 3, 4
    std::int32_t shares_data_of = 0;       // the slot whose data this one's is, or 0
    std::uint64_t size = 0;        // bytes as a disk holds them
    std::int32_t blocks = 0;       // the sectors a disk would give them: size / 254, rounded up
    std::optional<md5_digest> md5; // none without data
    std::vector<std::string> problems;
    std::optional<std::int32_t> copies_ok; // a TAP's
    std::optional<std::string> extracted;
};

// A CRT's CHIP packet.
struct chip_facts {
    std::string type; // "rom", "ram", ... or the number
    std::int32_t bank = 0;
    std::uint16_t load_address = 0;
    std::uint16_t size = 0;
    std::optional<md5_digest> md5; // none for a RAM chip's packet, which holds no data
};

struct container_facts {
    d64_container_format format = D64_CONTAINER_T64;
    image_digests image;
    d64_container_info info{};
    std::string name; // the container's own (T64, P00, CRT), as the listing shows it
    std::string name_unicode;
    std::vector<container_file_facts> files;
    std::vector<chip_facts> chips;
    std::vector<container_problem> problems; // the container's and its files', in order
    d64_check_summary summary{};             // counted by severity
    bool extracting = false;
    bool check = false;           // with --check: the record has a check object
    std::optional<dat_facts> dat; // with --dat
};

// inspect_container() :
//   Everything the reports know of a container, the names in Unicode too in `set`;
//   its files' and chips' MD5s only `with_md5` (a narrow listing needs none).
container_facts inspect_container(const d64_container* container, const image_digests& image,
                                  d64_charset set = D64_CHARSET_UPPER, bool with_md5 = true);

// container_record_line() :
//   The container's JSON record, one line with its "\n"; with `matches`, their list.
std::string container_record_line(const origin& where, const container_facts& facts,
                                  const std::vector<std::string>* matches);

// record_line() :
//   The image's JSON record, one line with its "\n"; with `matches`, their list too.
std::string record_line(const origin& where, const image_facts& facts,
                        const std::vector<std::string>* matches);

// error_line() :
//   The record of an image (or a folder or an archive) that failed: path, members and
//   the message the text mode prints for it.
std::string error_line(const origin& where, const std::string& message);

} // namespace catalogue

#endif // FLOPPEEK_CATALOGUE_H
