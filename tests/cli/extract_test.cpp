// --extract end to end. Tests run as root: every extraction goes into a folder three
// levels deep inside the test's own temporary folder, and no hostile name is absolute.
#include "archive_builder.h"
#include "cli_support.h"

#include <csignal>
#include <map>
#include <nlohmann/json.hpp>

namespace {

// Every file below `root`: its path from there and its bytes; links as "-> target".
std::map<std::string, std::string> tree_of(const fs::path& root) {
    std::map<std::string, std::string> tree;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        const std::string path = fs::relative(item.path(), root).string();
        if (item.is_symlink()) {
            tree[path] = "-> " + fs::read_symlink(item.path()).string();
        } else if (item.is_regular_file()) {
            tree[path] = slurp(item.path());
        }
    }
    return tree;
}

std::string bytes_of(const std::vector<uint8_t>& payload) {
    return std::string(payload.begin(), payload.end());
}

std::vector<uint8_t> payload(size_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(seed + i * 7);
    }
    return bytes;
}

// A disk holding a file of every type, duplicates and hostile names.
struct named_file {
    std::string raw_name; // PETSCII bytes, padded with shifted spaces
    uint8_t type;
    std::string extracted; // "" when it is not extracted
};

const std::vector<named_file>& hostile_files() {
    static const std::vector<named_file> files = {
        {"HELLO", 0x82, "HELLO.prg"},
        {"HELLO", 0x81, "HELLO~2.seq"},   // the same safe name, another type
        {"HELLO", 0xC3, "HELLO~3.usr"},   // locked
        {"RECORDS", 0x04, "RECORDS.rel"}, // never closed
        {"../../X", 0x82, "..%2F..%2FX.prg"},
        {"/", 0x82, "%2F.prg"},
        {".", 0x82, "%..prg"},
        {"..", 0x81, "%...seq"},
        {"", 0x82, "%.prg"}, // an empty name
        {"A\rB\x93%", 0x82, "A%0DB%93%25.prg"},
        {"\x73 LOVE", 0x82, "\u2665 LOVE.prg"}, // a heart in the uppercase set
        {"GONE", 0x80, ""},                     // DEL files are not extracted
    };
    return files;
}

test_image hostile_disk() {
    test_image image = image_formatted(35, false, "HOSTILE", "HO");
    int slot = 0;
    for (const named_file& file : hostile_files()) {
        image_add_file(image, slot, file.type, file.raw_name,
                       payload(300 + slot, static_cast<uint8_t>(slot)), {1 + slot, 0});
        ++slot;
    }
    // An empty file, as directory art draws a separator: no chain, nothing to extract.
    image_set_entry(image, slot, test_entry{0x82, petscii_name("----------------"), {0, 0}, 0});
    return image;
}

} // namespace

TEST_F(cli, extract_writes_every_type_under_safe_names) {
    const std::string image = save(hostile_disk(), "x.d64");
    const fs::path out = dir / "a/b/out";
    fs::create_directories(out.parent_path());
    const run_result result = run({"--extract=" + out.string(), image});
    EXPECT_EQ(result.status, 0);
    std::string lines;
    std::map<std::string, std::string> expected;
    int slot = 0;
    for (const named_file& file : hostile_files()) {
        if (!file.extracted.empty()) {
            lines += "extracted: x.d64/" + file.extracted + "\n";
            expected["x.d64/" + file.extracted] =
                bytes_of(payload(300 + slot, static_cast<uint8_t>(slot)));
        }
        ++slot;
    }
    EXPECT_EQ(result.err, banner + "\n" + lines + "\n");
    EXPECT_EQ(tree_of(out), expected);
    EXPECT_EQ(tree_of(dir / "a/b").size(), expected.size()); // nothing beside out/

    // A second run overwrites nothing: a file that holds the same bytes counts as
    // written, one that holds others is a failure of its own.
    const run_result again = run({"--extract", out.string(), image});
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.err, result.err);
    std::ofstream(out / "x.d64/HELLO.prg", std::ios::binary) << "other bytes";
    expected["x.d64/HELLO.prg"] = "other bytes";
    const run_result changed = run({"--extract", out.string(), image});
    EXPECT_EQ(changed.status, 1);
    EXPECT_NE(changed.err.find("Cannot extract: \"x.d64/HELLO.prg\": File exists\n"),
              std::string::npos);
    EXPECT_EQ(tree_of(out), expected);

    // The record says where each file went; the empty separator went nowhere.
    const run_result record = run({"--json", "--extract", (dir / "a/json").string(), image});
    const nlohmann::json files = nlohmann::json::parse(record.out)["files"];
    ASSERT_EQ(files.size(), hostile_files().size() + 1);
    EXPECT_EQ(files[0]["extracted"], "x.d64/HELLO.prg");
    EXPECT_EQ(files.back()["name"], "----------------");
    EXPECT_TRUE(files.back()["extracted"].is_null());
}

// Paths from a tree with hostile member names, a broken chain, the record's paths,
// and the same tree at every number of jobs.
TEST_F(cli, extract_from_a_tree_is_the_same_at_every_job_count) {
    test_image broken = image_formatted(35, false, "BROKEN", "BR");
    const auto chain = image_add_file(broken, 0, 0x82, "HALF", payload(600, 1));
    image_link(broken, chain[1], 40, 0); // the third sector is off the disk
    const std::string disk = std::string(broken.bytes.begin(), broken.bytes.end());
    fs::create_directories(dir / "in/sub");
    save_bytes(archive_pack(archive_kind::zip_deflated,
                            {{"../../evil.d64", disk},
                             {"/abs.d64", disk},
                             {"ctl\x01.d64", disk},
                             {"rtl\xE2\x80\xAE" "del\x7F.d64", disk}}),
               "in/sub/t.zip");
    save(broken, "in/b%.d64");
    const std::string half = bytes_of(payload(508, 1)); // two sectors of 254
    const std::map<std::string, std::string> expected = {
        {"b%25.d64/HALF.prg.damaged", half},
        {"sub/t.zip/%../%../evil.d64/HALF.prg.damaged", half},
        {"sub/t.zip/%/abs.d64/HALF.prg.damaged", half},
        {"sub/t.zip/ctl%01.d64/HALF.prg.damaged", half},
        {"sub/t.zip/rtl%E2%80%AEdel%7F.d64/HALF.prg.damaged", half},
    };
    std::string first_err;
    for (const char* jobs : {"--jobs=1", "--jobs=4"}) {
        SCOPED_TRACE(jobs);
        const fs::path out = dir / "a/b" / jobs;
        fs::create_directories(dir / "a/b");
        const run_result result = run(
            {"--recursive", "--json", jobs, "--extract=" + out.string(), (dir / "in").string()});
        EXPECT_EQ(result.status, 0); // a broken chain is no failure
        EXPECT_EQ(tree_of(out), expected);
        first_err = first_err.empty() ? result.err : first_err;
        EXPECT_EQ(result.err, first_err);
        // Every line names the files as the folders are named: no control gets out raw.
        EXPECT_NE(result.err.find("extracted: sub/t.zip/rtl%E2%80%AEdel%7F.d64/"),
                  std::string::npos);
        EXPECT_EQ(result.err.find("\xE2\x80\xAE"), std::string::npos);
        std::istringstream records(result.out);
        std::string line;
        std::getline(records, line);
        EXPECT_EQ(nlohmann::json::parse(line)["files"][0]["extracted"],
                  "b%25.d64/HALF.prg.damaged");
    }
}

// A symbolic link planted where a folder would go is not followed; the folder that
// cannot be made, the file that cannot be written: one line and one failure each.
TEST_F(cli, extract_never_follows_a_planted_link_and_reports_what_it_cannot_write) {
    test_image image = image_formatted(35, false, "LINKS", "LI");
    image_add_file(image, 0, 0x82, "BIG", payload(20000, 3));
    image_add_file(image, 1, 0x82, "SMALL", payload(10, 4), {2, 0});
    const std::string path = save(image, "x.d64");
    const fs::path out = dir / "a/b/out";
    fs::create_directories(out);
    fs::create_directories(dir / "elsewhere");
    fs::create_directory_symlink(dir / "elsewhere", out / "x.d64");
    const run_result linked = run({"--extract=" + out.string(), path});
    EXPECT_EQ(linked.status, 2);
    EXPECT_NE(linked.err.find("Cannot extract: \"x.d64/BIG.prg\""), std::string::npos);
    EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));

    // A file size limit stands in for a full disk: the big file fails and is removed.
    fs::remove(out / "x.d64");
    struct rlimit old_limit {};
    getrlimit(RLIMIT_FSIZE, &old_limit);
    const struct rlimit limit = {16384, old_limit.rlim_max};
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limit);
    const run_result full = run({"--extract=" + out.string(), path});
    setrlimit(RLIMIT_FSIZE, &old_limit);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find("Cannot extract: \"x.d64/BIG.prg\": File too large\n"),
              std::string::npos);
    EXPECT_EQ(tree_of(out),
              (std::map<std::string, std::string>{{"x.d64/SMALL.prg", bytes_of(payload(10, 4))}}));

    // A folder that cannot be made: one line, status 1, nothing read.
    const run_result no_parent = run({"--extract=" + (dir / "a/none/out").string(), path});
    EXPECT_EQ(no_parent.status, 1);
    EXPECT_EQ(no_parent.out, "");
    EXPECT_EQ(no_parent.err, banner + "\nCannot create the extraction folder: \"" +
                                 (dir / "a/none/out").string() +
                                 "\": No such file or directory\n\n");
}
