// The DAT reader under a lowered cap: compressed bombs stop at the cap, and the
// ClrMamePro tokenizer's own bounds hold; each gives its one line.
#include "archive_builder.h"
#include "dat.h"

#include <gtest/gtest.h>

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
