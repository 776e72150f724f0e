// Known dumps: DAT files (the Logiqx XML format of TOSEC and No-Intro, MAME's
// software lists, the ClrMamePro text format) loaded into one catalog, each image matched against
// it exactly or in a normal form (error bytes dropped, empty tracks dropped, a G64 decoded), a
// tally of the run for the summary and the missing roms, and the writing of a DAT.
#ifndef FLOPPEEK_DAT_H
#define FLOPPEEK_DAT_H

#include "catalogue.h"
#include "trakvol.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace verify {

enum class rom_status { none, good, verified, baddump, nodump };

struct rom {
    std::int32_t dat = 0;  // its DAT's index, in command-line order
    std::int32_t game = 0; // its game's name in catalog::games
    std::string name;
    rom_status status = rom_status::none;
    std::optional<std::uint64_t> size;
    std::optional<std::uint32_t> crc;
    std::optional<std::array<std::uint8_t, 16>> md5;
    std::optional<std::array<std::uint8_t, 20>> sha1;
    // A rom with neither sha1, md5 nor crc32 and size never matches; nor a nodump.
    bool can_match() const {
        return status != rom_status::nodump && (sha1 || md5 || (crc && size));
    }
};

struct dat_file {
    std::string path;
    std::string name;         // its header's name (a software list's name), else its file
                              // name without folder and extension
    std::int32_t skipped = 0; // roms left out: a size, crc, md5 or sha1 that cannot be
                              // read, none of them at all, or a rom outside any game
};

// The index's hash: every byte of the key, mixed with keys drawn once per run (NH,
// then a finaliser), so that a DAT whose digests were chosen to share bytes, or to
// fall into one bucket, spreads like any other: its digests cannot be fitted to keys
// it does not know.
struct digest_hash {
    template <std::size_t n>
    std::size_t operator()(const std::array<std::uint8_t, n>& digest) const {
        return mix(digest.data(), n);
    }
    std::size_t operator()(std::uint64_t key) const;

  private:
    static std::size_t mix(const std::uint8_t* bytes, std::size_t size);
};

// A crc32 and the low 32 bits of a size as one key; a match checks the whole size.
inline std::uint64_t crc_size_key(std::uint32_t crc, std::uint64_t size) {
    return std::uint64_t{crc} << 32 | (size & 0xFFFFFFFFU);
}

// Every rom of every DAT, in order, and an index by the hash each one matches by:
// its sha1 where it has one, else its md5, else its crc32 with its size.
struct catalog {
    std::vector<dat_file> dats;
    std::vector<std::string> games; // each game's name once, for its roms
    std::vector<rom> roms;
    std::unordered_multimap<std::array<std::uint8_t, 20>, std::int32_t, digest_hash> by_sha1;
    std::unordered_multimap<std::array<std::uint8_t, 16>, std::int32_t, digest_hash> by_md5;
    std::unordered_multimap<std::uint64_t, std::int32_t, digest_hash> by_crc_size;

    const std::string& game_of(const rom& found) const {
        return games[static_cast<std::size_t>(found.game)];
    }
};

// The most bytes a DAT may unpack to: the largest published DATs are about 100 MB.
inline constexpr std::uint64_t k_largest_dat_bytes = std::uint64_t{1} << 30;

// load_dat() :
//   Reads the DAT at `path` into `into`: a Logiqx XML datafile, a MAME software list
//   or a ClrMamePro text DAT, plain, gzip, bzip2 or xz compressed, or the one member
//   of a zip or 7z; "-" and "/dev/stdin" read standard input. Nothing is read past `limit`
//   bytes unpacked; a DAT that declares XML entities is refused; nothing a DAT names
//   (a DTD, an entity, a URL) is ever opened.
//   @return false with the one line to print (no line break) in *message: the file,
//   the line where there is one, and what is wrong.
bool load_dat(const std::string& path, catalog& into, std::string* message,
              std::uint64_t limit = k_largest_dat_bytes);

// load_dat_bytes() :
//   As load_dat(), for a DAT held in memory, called `name`.
bool load_dat_bytes(const std::string& name, const std::uint8_t* data, std::size_t size,
                    catalog& into, std::string* message, std::uint64_t limit = k_largest_dat_bytes);

// The hashes of an image's bytes, or of one of its normal forms.
using hashes = catalogue::image_digests;

enum class hash_kind { sha1, md5, crc32 };

struct match {
    std::int32_t rom = 0;
    hash_kind by = hash_kind::sha1;
    std::optional<std::string> normal_form; // none for an exact match
    bool named = false;                // exact, under another name: a rename hint
};

struct verdict {
    const char* word = "unknown";     // "known", "bad", "near", "unknown"
    std::vector<match> matches;       // every matching rom, in DAT and rom order
    std::optional<std::size_t> shown; // the match the verdict line names
};

// verify_image() :
//   Matches the image (its hashes `image`) against the catalog, then, when nothing
//   matches exactly, its normal forms through the open `disk` (may be null).
//   `file_name` is the image's name for the rename hint, without a .gz, .bz2 or .xz
//   suffix.
verdict verify_image(const catalog& dats, const hashes& image, const d64_disk* disk,
                     const std::string& file_name);

// What the run's images matched, for the summary and the missing roms; any thread
// may record.
struct tally {
    explicit tally(const catalog& dats);
    void record(const verdict& result);
    // One line per DAT: "<name>: have H of T, bad B, near N, unknown images U".
    std::vector<std::string> summary() const;
    // The roms with hashes no image matched in any way, bad dumps left out, in order.
    std::vector<std::int32_t> missing() const;

  private:
    const catalog& dats_;
    mutable std::mutex mutex_;
    std::vector<std::uint8_t> exact_;   // per rom: matched exactly
    std::vector<std::uint8_t> near_;    // per rom: matched through a normal form
    std::vector<std::int32_t> unknown_; // per DAT: images matching none of its roms
};

// percent_escaped() :
//   A name as a DAT of ours carries it: control codes, DEL, '%' and bytes that are no
//   valid UTF-8 as '%' and two upper-case hex digits.
std::string percent_escaped(const std::string& text);

// The name of a file without a .gz, .bz2 or .xz suffix.
std::string without_compression_suffix(const std::string& name);

// make_dat_game() :
//   The <game> element of an image for --make-dat: named after `path` (as the run
//   names it, without a compression suffix and its last extension), its one rom after
//   the file name, with the image's size and hashes.
std::string make_dat_game(const std::string& path, const hashes& image);

// The game names of a DAT being written, unique however its images are named: a
// game whose name an earlier one took ("game", of game.d64 and then game.g64) keeps
// its file's extension ("game.g64"), or failing that gains "~2", "~3", ...
class game_names {
  public:
    // The games of make_dat_game() in `games`, renamed where an earlier name is taken.
    void make_unique(std::string& games);

  private:
    std::unordered_set<std::string> taken_;
};

// make_dat_header() / make_dat_footer() :
//   What comes before the first game (the XML declaration and the header with `name`,
//   a description and today's date as version) and after the last.
std::string make_dat_header(const std::string& name);
std::string make_dat_footer();

} // namespace verify

#endif // FLOPPEEK_DAT_H
