// --check end to end: the verdict and problem lines, the exit status, the report
// before the check, the JSON record's check, lost files extracted, and disks written
// by cc1541 with loop files, empty entries and a 40-track layout.
#include "cli_support.h"

#include <nlohmann/json.hpp>

namespace {

bool have_cc1541() {
    return std::system("command -v cc1541 >/dev/null 2>&1") == 0;
}

// A disk whose file "BROKEN" was never closed and links off the disk after its first
// sector (its second, 1/10, left behind whole), and whose scratched "OLD" left a
// readable chain allocated.
test_image damaged_disk() {
    test_image image = image_formatted(35, false, "DAMAGED", "DA");
    const auto broken = image_add_file(image, 0, 0x02, "BROKEN", std::vector<uint8_t>(300, 1));
    image_link(image, broken[0], 40, 0);
    image_add_file(image, 1, 0x82, "OLD", std::vector<uint8_t>(100, 2), {5, 0});
    image_entry(image, 1)[2] = 0x00;
    return image;
}

} // namespace

TEST_F(cli, check_prints_a_verdict_per_image_and_counts_the_damaged_ones) {
    test_image clean = image_formatted(35, false, "CLEAN", "CL");
    image_add_file(clean, 0, 0x82, "FINE", {1, 2, 3});
    save(clean, "a-clean.d64");
    save(damaged_disk(), "b-damaged.d64");
    const std::string damaged_lines = "b-damaged.d64: 1 error, 2 warnings\n"
                                      "  warning unclosed \"broken\"\n"
                                      "  error chain_link \"broken\" 1/0\n"
                                      "  warning allocated_unused 1/10 5/0\n"
                                      "  info lost_file 1 sector from 1/10, md5 ";
    const run_result tree = run({"--check", "--recursive", dir.string()});
    EXPECT_TRUE(tree.out.starts_with("a-clean.d64: ok\n" + damaged_lines)) << tree.out;
    EXPECT_EQ(std::count(tree.out.begin(), tree.out.end(), '\n'), 7);
    EXPECT_EQ(tree.status, 1);
    EXPECT_EQ(run({"--check", (dir / "a-clean.d64").string()}).status, 0);

    // With a report, the report first; the verdict names the image as given.
    const std::string path = (dir / "b-damaged.d64").string();
    const run_result wide = run({"--check", "-w", path});
    const size_t verdict = wide.out.find(path + ": 1 error, 2 warnings\n");
    ASSERT_NE(verdict, std::string::npos) << wide.out;
    EXPECT_TRUE(wide.out.starts_with("Disk name           Disk id  Free blocks\n"));

    const nlohmann::json record = nlohmann::json::parse(run({"--check", "--json", path}).out);
    const nlohmann::json& check = record["check"];
    EXPECT_EQ(check["verdict"], "errors");
    EXPECT_EQ(check["errors"], 1);
    EXPECT_EQ(check["warnings"], 2);
    ASSERT_EQ(check["problems"].size(), 5u);
    EXPECT_EQ(check["problems"][1],
              (nlohmann::json{{"severity", "error"},
                              {"code", "chain_link"},
                              {"files", {1}},
                              {"system", nullptr},
                              {"sectors", {{1, 0}}},
                              {"track", nullptr}}));
    EXPECT_EQ(check["problems"][4]["first"], nlohmann::json({5, 0}));
    EXPECT_EQ(check["problems"][4]["count"], 1);
    EXPECT_EQ(check["problems"][4]["sectors"], nlohmann::json({{5, 0}}));
    EXPECT_FALSE(nlohmann::json::parse(run({"--json", path}).out).contains("check"));

    // --extract writes the lost files too, as lost-T-S.prg.
    const fs::path out = dir / "out";
    const run_result extracted = run({"--check", "--extract=" + out.string(), path});
    EXPECT_NE(extracted.err.find("extracted: b-damaged.d64/lost-5-0.prg\n"), std::string::npos);
    EXPECT_EQ(slurp(out / "b-damaged.d64/lost-5-0.prg"), std::string(100, '\2'));
    EXPECT_EQ(slurp(out / "b-damaged.d64/lost-1-10.prg"), std::string(300 - 254, '\1'));

    // A problem's sector list is cut after 8; past 1000 problems, one too_many line.
    test_image unused = image_formatted(35, false, "UNUSED", "UN");
    for (int sector = 0; sector < 10; ++sector) {
        image_allocate(unused, {3, sector});
    }
    const run_result cut = run({"--check", save(unused, "unused.d64")});
    EXPECT_EQ(cut.out, dir.string() +
                           "/unused.d64: 1 warning\n"
                           "  warning allocated_unused 3/0 3/1 3/2 3/3 3/4 3/5 3/6 3/7 ... (10 "
                           "sectors)\n");
    test_image hostile = image_formatted_as(disk_format::d81, true, "HOSTILE", "HO");
    for (int slot = 0; slot < 296; ++slot) {
        image_set_entry(hostile, slot, test_entry{0x02, petscii_name("X"), {1, 0}, 1});
    }
    image_set_error(hostile, {1, 0}, 5);
    image_allocate(hostile, {3, 0});
    const run_result many = run({"--check", save(hostile, "hostile.d81")});
    // Each entry: unclosed, used_but_free, unreadable; 295 shared starts; 3/0 unused.
    EXPECT_TRUE(many.out.starts_with(dir.string() + "/hostile.d81: 592 errors, 592 warnings\n"))
        << many.out.substr(0, 200);
    EXPECT_TRUE(many.out.ends_with("\n  info too_many 184 more problems\n"))
        << many.out.substr(many.out.size() - 200);
    EXPECT_EQ(std::count(many.out.begin(), many.out.end(), '\n'), 1 + 1000 + 1);
}

// Loop files (-l) share their start on purpose and empty entries (-L) own nothing; a
// SpeedDOS 40-track disk (-4) keeps its BAM for tracks 36-40.
TEST_F(cli, check_of_peer_made_disks) {
    if (!have_cc1541()) {
        GTEST_SKIP() << "cc1541 is not installed";
    }
    save_bytes(std::string(3000, 'p'), "f.prg");
    struct row {
        std::string options;
        std::string out; // after the image's name
    };
    const row rows[] = {
        {"-f MAIN -w f.prg -f LOOP -l MAIN -f EMPTY -L",
         ": 1 warning\n  warning shared_start \"main\" \"loop\" 1/0\n"},
        {"-4 -w f.prg", ": ok\n"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.options);
        ASSERT_EQ(std::system(("cd '" + dir.string() + "' && rm -f x.d64 && cc1541 -q " +
                               r.options + " x.d64")
                                  .c_str()),
                  0);
        const run_result checked = run({"--check", (dir / "x.d64").string()});
        EXPECT_EQ(checked.out, (dir / "x.d64").string() + r.out);
        EXPECT_EQ(checked.status, 0);
    }
}
