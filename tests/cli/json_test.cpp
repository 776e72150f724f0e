// --json end to end: one parseable record per image, in every mode, whatever the
// other options, the same at any number of jobs.
#include "archive_builder.h"
#include "cli_support.h"

#include <map>
#include <nlohmann/json.hpp>

namespace {

using json = nlohmann::json;

// Each line of `out`, parsed, by its "path".
std::map<std::string, json> records_by_path(const std::string& out) {
    std::map<std::string, json> records;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const json record = json::parse(line); // throws, failing the test, on a bad line
        EXPECT_TRUE(record.is_object());
        records[record["path"]] = record;
    }
    return records;
}

} // namespace

TEST_F(cli, json_gives_one_record_per_image) {
    save(image_sample(), "a.d64");
    test_image demos = image_formatted(35, false, "DEMOS", "DE");
    image_add_file(demos, 0, 0x82, "DEMO", {1});
    image_add_file(demos, 1, 0x82, "DEMO2", {2}, {2, 0});
    save(demos, "b.d64");
    save_bytes("short", "bad.d64");
    const std::string not_recognized = "Input file not recognized as a supported D64 image";
    const json bad_record = {{"path", "bad.d64"}, {"error", not_recognized}};

    const run_result all = run({"--json", "--jobs=1", dir.string()});
    EXPECT_EQ(all.status, 1);
    EXPECT_EQ(all.err, banner + "\n" + not_recognized + "\n\n");
    std::map<std::string, json> records = records_by_path(all.out);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records["bad.d64"], bad_record);
    EXPECT_EQ(records["a.d64"]["files"].size(), 10u); // the listing with -s shows 10 slots
    EXPECT_EQ(records["b.d64"]["disk"]["name"], "demos");
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{"--json"}, {"--json", "-w", "-s", "-b", "-e", "--jobs=4"}}) {
        std::vector<std::string> args = options;
        args.push_back(dir.string());
        EXPECT_EQ(run(args).out, all.out);
    }

    const run_result found = run({"--json", "-f", "demo*", dir.string()});
    records = records_by_path(found.out);
    ASSERT_EQ(records.size(), 2u); // the match, and the image that failed
    EXPECT_EQ(records["b.d64"]["matches"], json::array({"demo            ", "demo2           "}));
    EXPECT_EQ(records["bad.d64"], bad_record);

    const std::string single = (dir / "b.d64").string();
    EXPECT_EQ(records_by_path(run({"--json", single}).out)[single]["disk"]["id"], "de 2a");
}

TEST_F(cli, json_keeps_archive_members_and_raw_names) {
    test_image image = image_formatted(35, false);
    const std::string bytes(image.bytes.begin(), image.bytes.end());
    save_bytes(
        archive_pack(archive_kind::zip_deflated, {{"\xff\x1b.d64", bytes}, {"bad.d64", "x"}}),
        "x.zip");
    const run_result result = run({"--json", "--recursive", dir.string()});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, banner + "\nInput file not recognized as a supported D64 image: "
                                   "\"x.zip/bad.d64\"\n\n");
    std::istringstream lines(result.out);
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    const json record = json::parse(line);
    EXPECT_EQ(record["path"], "x.zip/\xef\xbf\xbd\x1b.d64"); // U+FFFD for the invalid byte
    EXPECT_EQ(record["path_hex"], "782e7a69702fff1b2e643634");
    EXPECT_EQ(record["member"], json::array({"\xef\xbf\xbd\x1b.d64"}));
    EXPECT_EQ(record["member_hex"], json::array({"ff1b2e643634"}));
    EXPECT_EQ(record["image"]["size"], 174848);
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(json::parse(line), (json{{"path", "x.zip/bad.d64"},
                                       {"member", {"bad.d64"}},
                                       {"error", "Input file not recognized as a supported D64 "
                                                 "image: \"x.zip/bad.d64\""}}));
    EXPECT_FALSE(std::getline(lines, line));
}

// Names of every byte value: piped, the Unicode listing holds no control byte but
// line breaks; the record writes each control code as a \u escape, C1 ones too.
TEST_F(cli, unicode_names_of_every_byte_value_hold_no_raw_control_byte) {
    test_image image = image_formatted(35, false);
    image_set_every_byte_name(image);
    const std::string path = save(image, "all.d64");
    for (const auto& options :
         {std::vector<std::string>{"--unicode", "-w", "-s"}, {"--unicode=lower", "-s"},
          {"--unicode", "-f", "*"}, {"--json"}}) {
        std::vector<std::string> args = options;
        args.push_back(path);
        const run_result result = run(args);
        SCOPED_TRACE(options[0] + " " + options.back());
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(std::count_if(result.out.begin(), result.out.end(),
                                [](char c) { return c != '\n' && static_cast<uint8_t>(c) < 0x20; }),
                  0);
        EXPECT_EQ(result.out.find("\xC2\x85"), std::string::npos); // U+0085, a line break
    }
    const json files = json::parse(run({"--json", path}).out)["files"];
    // Slot 9 holds 0x80-0x8F and no shifted space: its name starts with U+0080.
    EXPECT_EQ(files[8]["name_unicode"].get<std::string>().substr(0, 2), "\xC2\x80");
    EXPECT_NE(run({"--json", path}).out.find("\\u0085"), std::string::npos);
}
