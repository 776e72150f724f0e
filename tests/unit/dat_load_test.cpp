// The DAT reader under a lowered cap: compressed bombs stop at the cap, and the
// ClrMamePro tokenizer's own bounds hold; each gives its one line.
#include "archive_builder.h"
#include "dat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

TEST(dat_load, bombs_and_hostile_text_end_with_one_line) {
    constexpr std::uint64_t k_cap = 1 << 20;
    const std::string spaces(8 << 20,
                             ' '); // white space: valid in both formats, and compressed to nothing
    const std::string cap_line =
        ": unpacks to more than " + std::to_string(k_cap) + " bytes, the most a DAT may have";
    struct row {
        const char* what;
        std::string bytes;
        std::string message; // after the file's name
    };
    const row rows[] = {
        {"zip bomb", archive_pack(archive_kind::zip_deflated, {{"big.dat", "<datafile>" + spaces}}),
         cap_line},
        {"gzip bomb", archive_pack(archive_kind::gz, {{"big.dat", "game (" + spaces}}), cap_line},
        {"a string past 64 KiB", "game ( name \"" + std::string(70000, 'n') + "\" )",
         ": line 1: a string too long"},
        {"blocks nested past 16", "game ( x " + std::string(20, '(') + std::string(20, ')') + ")",
         ": line 1: blocks nested too deep"},
        {"a block never closed", "clrmamepro ( name \"x\"\n\ngame ( name \"y\"",
         ": line 3: a block without its closing parenthesis"},
        {"a parenthesis out of place", "game ( name \"y\" )\n)",
         ": line 2: a parenthesis out of place"},
    };
    const auto path = std::filesystem::temp_directory_path() / "dat_load_test.dat";
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        std::ofstream(path, std::ios::binary) << r.bytes;
        verify::catalog into;
        std::string message;
        EXPECT_FALSE(verify::load_dat(path.string(), into, &message, k_cap));
        EXPECT_EQ(message, "Cannot use the DAT file \"" + path.string() + "\"" + r.message);
        EXPECT_TRUE(into.roms.empty());
        EXPECT_TRUE(into.dats.empty());
    }
    std::filesystem::remove(path);
}

namespace {

template <class index> std::size_t largest_bucket(const index& by) {
    std::size_t largest = 0;
    for (std::size_t bucket = 0; bucket < by.bucket_count(); ++bucket) {
        largest = std::max(largest, by.bucket_size(bucket));
    }
    return largest;
}

// `count` games of one rom each, whose digests (of `digits` hex digits) differ only in
// their last ones, as a DAT crafted to fill one bucket would have them.
std::string flood(const char* field, int digits, int count, const char* more = "") {
    std::string dat = "clrmamepro ( name \"x\" )\n";
    char digest[64];
    for (int i = 0; i < count; ++i) {
        std::snprintf(digest, sizeof digest, "%0*X", digits, i);
        dat += "game ( name \"G" + std::to_string(i) + "\" rom ( name g.d64 " + more + field +
               " " + digest + " ) )\n";
    }
    return dat;
}

} // namespace

// What a DAT costs: each game's name kept once, roms without anything to match by
// skipped, and digests spread over the index whatever bytes they share; a 7z holds a
// DAT as a zip does.
TEST(dat_load, memory_and_index_stay_in_proportion) {
    const std::string empty_roms = "game ( name \"" + std::string(65535, 'N') + "\" " + [] {
        std::string roms;
        for (int i = 0; i < 20000; ++i) {
            roms += "rom ( ) ";
        }
        return roms;
    }() + ")\n";
    const std::string one_game = "<datafile><game name=\"G\"><rom name=\"a\" size=\"1\"/>"
                                 "<rom name=\"b\" size=\"2\"/><rom name=\"c\"/></game></datafile>";
    struct row {
        const char* what;
        std::string bytes;
        std::size_t roms, games;
        std::int32_t skipped;
    };
    const row rows[] = {
        {"a long name and 20,000 empty roms",
         archive_pack(archive_kind::gz, {{"x.dat", empty_roms}}), 0, 0, 20000},
        {"a game of three roms, one without size or digest", one_game, 2, 1, 1},
        {"the same in a 7z", archive_pack(archive_kind::seven_zip, {{"x.dat", one_game}}), 2, 1, 1},
        {"sha1s sharing their first bytes", flood("sha1", 40, 20000), 20000, 20000, 0},
        {"md5s sharing their first bytes", flood("md5", 32, 20000), 20000, 20000, 0},
        {"crc32s of one size", flood("crc", 8, 20000, "size 1 "), 20000, 20000, 0},
    };
    const auto path = std::filesystem::temp_directory_path() / "dat_load_test.dat";
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        std::ofstream(path, std::ios::binary) << r.bytes;
        verify::catalog into;
        std::string message;
        ASSERT_TRUE(verify::load_dat(path.string(), into, &message)) << message;
        EXPECT_EQ(into.roms.size(), r.roms);
        EXPECT_EQ(into.games.size(), r.games);
        EXPECT_EQ(into.dats[0].skipped, r.skipped);
        // 20,000 keys in buckets: a few to a bucket (16 or more: about one run in 10^9), never thousands.
        EXPECT_LT(largest_bucket(into.by_sha1), 16u);
        EXPECT_LT(largest_bucket(into.by_md5), 16u);
        EXPECT_LT(largest_bucket(into.by_crc_size), 16u);
    }
    std::filesystem::remove(path);
}
