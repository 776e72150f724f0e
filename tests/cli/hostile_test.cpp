// Hostile paths and files: every one gets its own message and exit status, nothing
// hangs, and nothing on disk is changed.
#include "cli_support.h"
#include "archive_builder.h"
#include "container_writer.h"
#include "trakvol.h"

#include <algorithm>
#include <sys/stat.h>

namespace {

const std::string not_recognized = "Input file not recognized as a supported D64 image\n";

// Names in a folder, sorted.
std::vector<std::string> folder_names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(folder)) {
        names.push_back(item.path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> sorted_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

} // namespace

TEST_F(cli, only_the_exact_image_lengths_are_recognised) {
    const size_t lengths[] = {174848, 175531, 179200, 179900, 183552, 184269, 187904, 188638,
                              192256, 193007, 196608, 197376, 200960, 201745, 205312, 206114};
    for (const size_t length : lengths) {
        for (const long delta : {-1L, 0L, 1L}) {
            const std::string path = save_bytes(std::string(length + delta, '\0'), "x.d64");
            const run_result result = run({path});
            SCOPED_TRACE(std::to_string(length + delta));
            // An image of zeros has a header that does not link to the directory.
            EXPECT_EQ(result.out,
                      delta == 0 ? "0 .\"????????????????\" ?????\n0 blocks free.\n" : "");
            EXPECT_EQ(result.err, banner + "\n" + (delta == 0 ? "" : not_recognized) + "\n");
            EXPECT_EQ(result.status, delta == 0 ? 0 : 1);
        }
    }
    for (const size_t length : {size_t{0}, size_t{1} << 20}) {
        const run_result result = run({save_bytes(std::string(length, 'x'), "x.d64")});
        EXPECT_EQ(result.err, banner + "\n" + not_recognized + "\n");
        EXPECT_EQ(result.status, 1);
    }
}

TEST_F(cli, special_files_fail_without_hanging) {
    const std::string fifo = dir / "pipe.d64";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    struct row {
        std::string path, err;
    };
    const row rows[] = {
        {fifo, "Cannot seek to EOF in input file\n"},
        {"/dev/null", not_recognized},
        {"/dev/zero", not_recognized},
    };
    for (const row& r : rows) {
        const run_result result = run({r.path});
        EXPECT_EQ(result.status, 1) << r.path; // -2 would mean it hung
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, banner + "\n" + r.err + "\n") << r.path;
    }
}

TEST_F(cli, odd_folder_entries_fail_one_by_one_and_odd_names_pass_through) {
    const test_image image = image_formatted(35, false, "ODD", "01");
    fs::create_directory(dir / "x.d64");
    ASSERT_EQ(mkfifo((dir / "y.d64").c_str(), 0600), 0);
    fs::create_symlink(dir / "nowhere", dir / "z.d64");
    const std::vector<std::string> good = {"with space.d64", "quote\"d.D64", "caf\xc3\xa9.d64",
                                           "\xff\x01.d64"};
    for (const std::string& name : good) {
        save(image, name);
    }
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    const std::vector<std::string> before = folder_names(dir);

    const run_result result = run({"-f", "*", dir.string()});
    EXPECT_EQ(result.status, 3);
    EXPECT_EQ(folder_names(dir), before); // nothing created, nothing removed
    const std::vector<std::string> errors = sorted_lines(result.err);
    const std::vector<std::string> expected_errors = {"",
                                                      "",
                                                      "Cannot open file for reading: \"x.d64\"",
                                                      "Cannot open file for reading: \"z.d64\"",
                                                      "Cannot seek to EOF in input file",
                                                      banner.substr(0, banner.size() - 1)};
    EXPECT_EQ(errors, expected_errors);
    std::string parsed;
    for (const std::string& line : sorted_lines(result.out)) {
        if (line.rfind("Parsing: ", 0) == 0) {
            parsed += line + "\n";
        }
    }
    std::vector<std::string> names = good;
    names.insert(names.end(), {"x.d64", "y.d64", "z.d64"});
    std::sort(names.begin(), names.end());
    std::string expected_parsed;
    for (const std::string& name : names) {
        expected_parsed += "Parsing: \"" + name + "\"\n";
    }
    EXPECT_EQ(parsed, expected_parsed);
    EXPECT_EQ(sorted_lines(result.out).size(), 1 + 2 * 7 + 4u); // heading, blank+Parsing, matches
    fs::permissions(dir, fs::perms::owner_all);
}

TEST_F(cli, read_only_image_and_folder_are_listed_and_left_unchanged) {
    test_image image = image_formatted(35, true, "KEEP", "01");
    image_add_file(image, 0, 0x82, "X", std::vector<uint8_t>(600, 9));
    const std::string path = save(image, "keep.d64");
    fs::permissions(path, fs::perms::owner_read);
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    const auto before = fs::last_write_time(path);
    for (const char* option : {"-w", "-b", "-s"}) {
        const run_result result = run({option, "-e", dir.string()});
        EXPECT_EQ(result.status, 0);
        EXPECT_NE(result.out.find("Parsing: \"keep.d64\"\n"), std::string::npos);
        EXPECT_EQ(run({option, "-e", path}).status, 0);
    }
    const run_result checked = run({"--check", dir.string()});
    EXPECT_EQ(checked.out, "keep.d64: ok\n");
    EXPECT_EQ(checked.status, 0);
    EXPECT_EQ(fs::last_write_time(path), before);
    EXPECT_EQ(slurp(path), std::string(image.bytes.begin(), image.bytes.end()));
    fs::permissions(dir, fs::perms::owner_all);
}

// Small files that once made a reader work for hours, take gigabytes or write hundreds
// of megabytes: each gives its answer in bounded time (the run is killed after 10 s),
// memory and output.
TEST_F(cli, hostile_files_cost_a_small_multiple_of_their_size) {
    tap_options no_countdown;
    no_countdown.version = 0;
    no_countdown.stray_bytes = 50000;
    // 200 entries whose data all start at one offset, each claiming all of it.
    std::vector<container_entry> shared(200, {"F", 0x0801, {}, 0x82, 0x0801});
    shared[0].data.assign(1 << 20, 0xAA);
    std::string t64 = container_write_t64(shared, "T", 0);
    for (size_t slot = 1; slot < shared.size(); ++slot) {
        t64.replace(0x40 + 32 * slot + 8, 4, t64.substr(0x40 + 8, 4));
    }
    std::string empty_roms = "game ( name \"" + std::string(65535, 'N') + "\" ";
    std::string flood = "clrmamepro ( name \"flood\" )\n";
    for (int i = 0; i < 20000; ++i) {
        empty_roms += "rom ( ) ";
        char sha1[41];
        std::snprintf(sha1, sizeof sha1, "%040X", i);
        flood += "game ( name \"G" + std::to_string(i) + "\" rom ( name g.d64 size 1 sha1 " +
                 sha1 + " ) )\n";
    }
    const std::string prg = save_bytes("\x01\x08hello", "one.prg");
    struct row {
        const char* what;
        std::string name;
        std::string bytes;
        std::vector<std::string> args; // the file's path after them, or at "@"
        std::string out;               // a line the output holds
        int status;
        size_t output_factor = 4; // the output is less than this times the file
    };
    const row rows[] = {
        {"a TAP of bytes without a countdown",
         "run.tap",
         container_write_tap({}, no_countdown),
         {},
         "0 files, 0 bytes; 0 of 0 copies read; 1000000 pulses of other data.\n",
         0},
        {"a T64 of entries sharing their data",
         "shared.t64",
         t64,
         {"--check"},
         "  error claims_exceed_size\n",
         1},
        {"... listed", "shared.t64", t64, {}, "200 files, 1048578 bytes.\n", 0},
        {"... extracted", "shared.t64", t64, {"--extract", (dir / "out").string()}, "", 0},
        {"a CRT of 200,000 empty chips", "chips.crt",
         container_write_crt("C", 0, 0, 1, std::vector<crt_chip>(200000)), {"--json"},
         "\"error\":\"Input file refused: a cartridge of more than 65536 chips\"", 1},
        {"a CRT of the most chips, each empty", "most.crt",
         container_write_crt("C", 0, 0, 1, std::vector<crt_chip>(D64_MOST_CHIPS)), {"--json"},
         "\"chips\":[{\"type\":\"rom\",\"bank\":0,\"load_address\":32768,\"size\":0,", 0,
         8}, // a record of 95 bytes for each packet of 16
        {"a DAT of one long name and 20,000 empty roms", "names.dat.gz",
         archive_pack(archive_kind::gz, {{"names.dat", empty_roms + ")\n"}}),
         {"--dat", "@", prg}, "one.prg: unknown\n", 0},
        {"a DAT of digests that share their first bytes", "flood.dat", flood,
         {"--dat", "@", prg}, "one.prg: unknown\n", 0},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        std::vector<std::string> args = r.args;
        const std::string path = save_bytes(r.bytes, r.name);
        const auto at = std::find(args.begin(), args.end(), "@");
        *(at != args.end() ? at : args.insert(args.end(), "")) = path;
        const run_result result = run(args);
        EXPECT_EQ(result.status, r.status);
        EXPECT_NE(result.out.find(r.out), std::string::npos) << result.out.substr(0, 300);
        EXPECT_LT(result.out.size() + result.err.size(), r.output_factor * r.bytes.size());
#ifndef FLOPPEEK_SANITIZED
        EXPECT_LT(result.peak_rss_kib, 64 * 1024);
#endif
    }
    // The shared data is written once, and each entry that shares it named once.
    std::uintmax_t written = 0;
    for (const auto& item : fs::recursive_directory_iterator(dir / "out")) {
        written += item.is_regular_file() ? item.file_size() : 0;
    }
    EXPECT_EQ(written, (1U << 20) + 2);
    EXPECT_NE(run({"--extract", (dir / "again").string(), (dir / "shared.t64").string()})
                  .err.find("not extracted: shared.t64/F~200.prg: the data of entry 1\n"),
              std::string::npos);
}
