// D71, D81, G64, D80, D82 and G71 images end to end: images written by Debian's cc1541 (a peer
// tool) and by the project's builders, as one path, in a tree, compressed and in
// archives.
#include "archive_builder.h"
#include "cli_support.h"
#include "gcr_writer.h"

#include <nlohmann/json.hpp>

namespace {

bool have_cc1541() {
    return std::system("command -v cc1541 >/dev/null 2>&1") == 0;
}

std::string image_bytes(const test_image& image) {
    return std::string(image.bytes.begin(), image.bytes.end());
}

} // namespace

// Each row is a cc1541 command line run in the test's folder and what the program
// prints for the image it writes.
TEST_F(cli, peer_made_images_list_with_their_true_free_counts) {
    if (!have_cc1541()) {
        GTEST_SKIP() << "cc1541 is not installed";
    }
    save_bytes(std::string(3000, 'p'), "f.prg");     // 12 sectors
    save_bytes(std::string(200000, 'b'), "big.prg"); // 788 sectors: spills onto side 2
    save_bytes("hello", "s.seq");
    struct row {
        std::string command;
        std::string image;
        std::vector<std::string> args;
        std::string out;
    };
    const std::string md5_f = "24dc8c643d45cd3e5f18b339c971dc01";
    const row rows[] = {
        {"cc1541 -q -n EMPTY71 e.d71",
         "e.d71",
         {},
         "0 .\"empty71         \" 00 2a\n1328 blocks free.\n"},
        {"cc1541 -q -n EMPTY81 e.d81",
         "e.d81",
         {},
         "0 .\"empty81         \" 00 2a\n3160 blocks free.\n"},
        {"cc1541 -q -n TYPES -f one -w f.prg -T SEQ -f two -w s.seq -T USR -f three -w s.seq "
         "-T REL -f four -w s.seq t.d81",
         "t.d81",
         {"-w"},
         "Disk name           Disk id  Free blocks\n"
         "\"types           \"  \"00 2a\"      3145\n\n"
         "Seq  Size File name          Type  Blks  MD5 hash\n"
         "1    12   \"one\"              prg    12   " +
             md5_f +
             "\n"
             "2    1    \"two\"              seq \n"
             "3    1    \"three\"            usr \n"
             "4    1    \"four\"             rel \n"},
        {"cc1541 -q -n SIDES -f big -w big.prg -f small -w f.prg s.d71",
         "s.d71",
         {"-w"},
         "Disk name           Disk id  Free blocks\n"
         "\"sides           \"  \"00 2a\"      528\n\n"
         "Seq  Size File name          Type  Blks  MD5 hash\n"
         "1    788  \"big\"              prg    788  59a2a10dd1686f679ee885fc1eba5183\n"
         "2    12   \"small\"            prg    12   " +
             md5_f + "\n"},
        {"cc1541 -q -f one -w f.prg t.d81", "t.d81", {"-f", "O*"}, "Match: \"one             \"\n"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.command);
        ASSERT_EQ(
            std::system(
                ("cd '" + dir.string() + "' && rm -f " + r.image + " && " + r.command).c_str()),
            0);
        std::vector<std::string> args = r.args;
        args.push_back((dir / r.image).string());
        const run_result result = run(args);
        EXPECT_EQ(result.out, r.out);
        EXPECT_EQ(result.err, banner + "\n\n");
        EXPECT_EQ(result.status, 0);
    }
    // The BAM of a D81: 80 tracks of 40-sector maps, the totals over 3200 sectors.
    const run_result bam = run({"-b", (dir / "t.d81").string()});
    EXPECT_EQ(std::count(bam.out.begin(), bam.out.end(), '\n'), 82);
    EXPECT_NE(bam.out.find("\n  40    4/40   ****....."), std::string::npos);
    EXPECT_NE(bam.out.find("\nTotals:                   12/ 16/3200\n"), std::string::npos);
}

// 40-track disks as SpeedDOS (-4) and DolphinDOS (-5) lay out their BAM: the record
// names the layout, and the listing, the BAM report and the record count the free
// sectors of tracks 36-40 in it.
TEST_F(cli, json_names_the_bam_layout_of_peer_made_forty_track_disks) {
    if (!have_cc1541()) {
        GTEST_SKIP() << "cc1541 is not installed";
    }
    save_bytes(std::string(3000, 'p'), "f.prg");
    for (const auto& [option, layout] : {std::pair{"-4", "speeddos"}, {"-5", "dolphindos"}}) {
        SCOPED_TRACE(option);
        ASSERT_EQ(std::system(("cd '" + dir.string() + "' && rm -f x.d64 && cc1541 -q " + option +
                               " -w f.prg x.d64")
                                  .c_str()),
                  0);
        const run_result result = run({"--json", (dir / "x.d64").string()});
        const nlohmann::json disk = nlohmann::json::parse(result.out)["disk"];
        EXPECT_EQ(disk["bam_layout"], layout);
        EXPECT_EQ(disk["free_blocks_in_layout"], 768 - 19 - 12);
        EXPECT_EQ(disk["free_blocks"], 768 - 19 - 12);
        const std::string listing = run({(dir / "x.d64").string()}).out;
        EXPECT_TRUE(listing.ends_with("\n737 blocks free.\n")) << listing;
        const std::string bam = run({"-b", (dir / "x.d64").string()}).out;
        EXPECT_TRUE(bam.ends_with("\nTotals:                   12/ 14/768\n")) << bam;
    }
}

// --recursive picks the three formats by name in any case, compressed and archived;
// the flat folder mode keeps to d64 and D64 names and reads them as D64 only.
TEST_F(cli, every_format_in_a_tree_and_only_d64_in_a_flat_folder) {
    test_image d81 = image_formatted_as(disk_format::d81, true, "EIGHTY", "81");
    image_add_file(d81, 0, 0x82, "ON D81", {1, 2, 3}, {41, 0});
    test_image d71 = image_formatted_as(disk_format::d71, false, "SEVENTY", "71");
    image_add_file(d71, 0, 0x82, "ON D71", {4, 5, 6}, {60, 0});
    save(d71, "a.D71");
    save_bytes(archive_pack(archive_kind::gz, {{"b.d81", image_bytes(d81)}}), "b.d81.gz");
    save_bytes(archive_pack(archive_kind::zip_deflated, {{"in.d81", image_bytes(d81)}}), "c.zip");
    save(d81, "d.d64"); // a D81 under a D64 name
    save(image_formatted(35, false, "PLAIN", "PL"), "e.d64");

    const std::string parsing = "\nParsing: \"";
    const run_result tree = run({"--recursive", "-f", "ON*", dir.string()});
    EXPECT_EQ(tree.out, "Processing all disk images in \"" + dir.string() + "\"\n" + parsing +
                            "a.D71\"\nMatch: \"on d71          \"\n" + parsing +
                            "b.d81.gz\"\nMatch: \"on d81          \"\n" + parsing +
                            "c.zip/in.d81\"\nMatch: \"on d81          \"\n" + parsing +
                            "d.d64\"\nMatch: \"on d81          \"\n" + parsing + "e.d64\"\n");
    EXPECT_EQ(tree.status, 0);

    const run_result flat = run({"-f", "ON*", dir.string()});
    EXPECT_EQ(flat.err, banner + "\nInput file not recognized as a supported D64 image\n\n");
    EXPECT_EQ(flat.status, 1);
    EXPECT_EQ(flat.out.find("a.D71"), std::string::npos);
}

// cc1541 writes a G64 copy of each 35-track disk it makes: every report of the copy
// is that of the D64, and -b -e shows the error columns, clean.
TEST_F(cli, peer_made_g64_copies_report_like_their_d64) {
    if (!have_cc1541()) {
        GTEST_SKIP() << "cc1541 is not installed";
    }
    save_bytes(std::string(3000, 'p'), "f.prg");
    save_bytes(std::string(60000, 'q'), "m.prg");
    ASSERT_EQ(std::system(("cd '" + dir.string() +
                           "' && cc1541 -q -n COPIES -f one -w f.prg -f two -w m.prg -T SEQ -f "
                           "three -w f.prg -g c.g64 c.d64")
                              .c_str()),
              0);
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{}, {"-w", "-s"}, {"-b"}, {"-f", "T*"}}) {
        std::vector<std::string> d64 = options;
        std::vector<std::string> g64 = options;
        d64.push_back((dir / "c.d64").string());
        g64.push_back((dir / "c.g64").string());
        EXPECT_EQ(run(g64).out, run(d64).out);
    }
    const run_result errors = run({"-b", "-e", (dir / "c.g64").string()});
    EXPECT_EQ(errors.out.substr(0, errors.out.find('\n')),
              "Track  Used    Allocation status      Error info             Allocated with error");
    EXPECT_NE(errors.out.find("/683                      0                      0\n"),
              std::string::npos);
}

// A G64 with damage, in a tree and compressed: -b -e shows each code in its sector,
// the record says how the decode went.
TEST_F(cli, damaged_g64_in_a_tree_shows_its_codes_and_decode_summary) {
    test_image image = image_formatted(35, false, "DAMAGED", "DG");
    image_add_file(image, 0, 0x82, "GAME", std::vector<uint8_t>(2000, 7), {1, 0});
    const std::string g64 = gcr_write_g64(image, {{gcr_fault::data_checksum, {1, 0}},
                                                  {gcr_fault::missing_sector, {1, 2}},
                                                  {gcr_fault::no_data, {35, 0}}});
    save_bytes(archive_pack(archive_kind::gz, {{"d.G64", g64}}), "d.G64.gz");
    const run_result bam = run({"--recursive", "-b", "-e", dir.string()});
    // The file's 8 sectors at interleave 10 on track 1: 0, 10, 20, 9, 19, 8, 18, 7.
    EXPECT_NE(bam.out.find("\n   1    8/21   *......****.......***  5.2..................  "
                           "*....................\n"),
              std::string::npos);
    EXPECT_NE(bam.out.find("\n  35    0/17   .................      33333333333333333    "),
              std::string::npos);
    EXPECT_EQ(bam.status, 0);

    save_bytes(g64, "d.g64");
    const nlohmann::json record =
        nlohmann::json::parse(run({"--json", (dir / "d.g64").string()}).out);
    EXPECT_EQ(record["image"]["format"], "g64");
    EXPECT_EQ(record["image"]["size"], g64.size());
    EXPECT_TRUE(record["image"]["error_info"]);
    EXPECT_EQ(record["decode"], (nlohmann::json{{"tracks", 35},
                                                {"half_tracks_with_data", 0},
                                                {"sectors_ok", 683 - 2 - 17},
                                                {"sectors_with_error", 2 + 17},
                                                {"duplicate_headers", 0},
                                                {"shortest_sync_bits", 41},
                                                {"copies_differ", 0}}));
    EXPECT_EQ(record["errors"][0], (nlohmann::json{{"track", 1}, {"sector", 0}, {"code", 5}}));

    // The same disk as a NIB capture, compressed in the tree: the same codes, and a
    // killer track; its record tells what a capture adds.
    const std::string nib = gcr_write_nib(image, {{gcr_fault::data_checksum, {1, 0}},
                                                  {gcr_fault::missing_sector, {1, 2}},
                                                  {gcr_fault::no_data, {35, 0}},
                                                  {gcr_fault::killer_track, {30, 0}}});
    fs::remove(dir / "d.G64.gz");
    fs::remove(dir / "d.g64");
    save_bytes(archive_pack(archive_kind::gz, {{"d.NIB", nib}}), "d.NIB.gz");
    const run_result nib_bam = run({"--recursive", "-b", "-e", dir.string()});
    EXPECT_NE(nib_bam.out.find("\n   1    8/21   *......****.......***  5.2..................  "
                               "*....................\n"),
              std::string::npos)
        << nib_bam.out;
    EXPECT_NE(nib_bam.out.find("\n  30    0/18   ..................     333333333333333333   "),
              std::string::npos);
    const nlohmann::json nib_record =
        nlohmann::json::parse(run({"--json", save_bytes(nib, "d.nib")}).out);
    EXPECT_EQ(nib_record["image"]["format"], "nib");
    EXPECT_EQ(nib_record["image"]["size"], nib.size());
    const nlohmann::json& decode = nib_record["decode"];
    EXPECT_EQ(decode["sectors_with_error"], 2 + 17 + 18);
    EXPECT_EQ(decode["copies_differ"], 0);
    EXPECT_EQ(decode["ignored_entries"], 0);
    EXPECT_EQ(decode["killer_tracks"], 1);
    EXPECT_GE(decode["duplicate_headers"], 34);
}

// The 8050's D80 and the 8250's D82 (rows of the format table) and the 1571's G71 (the
// GCR decoder in front of the D71 row), through each report once, in a tree too.
TEST_F(cli, d80_d82_and_g71_through_every_report) {
    test_image d80 = image_formatted_as(disk_format::d80, false, "D80 DISK", "DD");
    image_add_file(d80, 0, 0x82, "PROGRAM", std::vector<uint8_t>(600, 1));
    image_add_file(d80, 1, 0x81, "TEXT", std::vector<uint8_t>(300, 2), {40, 0});
    image_set_entry(d80, 2, test_entry{0x00, petscii_name("GONE"), {0, 0}, 1});
    test_image d82 = image_formatted_as(disk_format::d82, false, "D82 DISK", "EE");
    image_add_file(d82, 0, 0xC2, "ON SIDE TWO", std::vector<uint8_t>(1000, 3), {120, 0});
    test_image d71 = image_formatted_as(disk_format::d71, false, "GCR DISK", "GG");
    image_add_file(d71, 0, 0x82, "ON SIDE TWO", std::vector<uint8_t>(900, 4), {60, 0});
    const std::string d80_path = save(d80, "a.D80");
    save_bytes(archive_pack(archive_kind::gz, {{"b.d82", image_bytes(d82)}}), "b.d82.gz");
    save_bytes(archive_pack(archive_kind::zip_deflated, {{"in.g71", gcr_write_g64(d71)}}),
               "c.zip");
    const std::string g71_path = save_bytes(gcr_write_g64(d71), "x.g71");

    const run_result listing = run({"-s", d80_path});
    EXPECT_EQ(listing.out, "0 .\"d80 disk        \" dd 2c\n"
                           "3    \"program\"          prg \n"
                           "2    \"text\"             seq \n"
                           "1    \"gone\"             scr \n"
                           "2047 blocks free.\n");
    // 2083 sectors; 2047 free and track 39's 29 left out leave the two BAM sectors and
    // the files' five; the bits add 39/0 and 39/1.
    const run_result bam = run({"-b", d80_path});
    EXPECT_EQ(std::count(bam.out.begin(), bam.out.end(), '\n'), 79);
    EXPECT_NE(bam.out.find("\n  39    2/29   **" + std::string(27, '.') + "\n"), std::string::npos);
    EXPECT_TRUE(bam.out.ends_with("\nTotals:                    7/  9/2083\n")) << bam.out;
    const nlohmann::json record = nlohmann::json::parse(run({"--json", d80_path}).out);
    EXPECT_EQ(record["image"]["format"], "d80");
    EXPECT_EQ(record["disk"]["free_blocks"], 2047);
    EXPECT_FALSE(record["disk"].contains("bam_layout"));

    const run_result g71 = run({"-w", g71_path});
    EXPECT_TRUE(g71.out.starts_with("Disk name           Disk id  Free blocks\n"
                                    "\"gcr disk        \"  \"gg 2a\"      1324\n"))
        << g71.out;
    EXPECT_EQ(nlohmann::json::parse(run({"--json", g71_path}).out)["image"]["format"], "g71");

    const run_result tree = run({"--recursive", "-f", "ON*", dir.string()});
    const std::string parsing = "\nParsing: \"";
    EXPECT_EQ(tree.out, "Processing all disk images in \"" + dir.string() + "\"\n" + parsing +
                            "a.D80\"\n" + parsing + "b.d82.gz\"\nMatch: \"on side two     \"\n" +
                            parsing + "c.zip/in.g71\"\nMatch: \"on side two     \"\n" + parsing +
                            "x.g71\"\nMatch: \"on side two     \"\n");
    EXPECT_EQ(tree.status, 0);
    const run_result d82_listing = run({"--recursive", (dir / "b.d82.gz").string()});
    EXPECT_TRUE(d82_listing.out.ends_with("\n4129 blocks free.\n")) << d82_listing.out;
}
