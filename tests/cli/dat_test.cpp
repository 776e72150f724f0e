// --dat, --missing and --make-dat end to end: a DAT written here from the builder's
// images (known, bad, renamed, each normal form, unknown, gzip member), malformed DATs,
// and a DAT of a tree read back over the same tree.
#include "archive_builder.h"
#include "cli_support.h"
#include "gcr_writer.h"
#include "test_support.h"

#include <nlohmann/json.hpp>
#include <openssl/evp.h>
#include <sys/stat.h>

namespace {

std::string bytes_of(const test_image& image) {
    return std::string(image.bytes.begin(), image.bytes.end());
}

std::string digest(const EVP_MD* kind, const std::string& bytes) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), out, &length, kind, nullptr);
    return hex(out, length);
}

std::string crc_of(const std::string& bytes) {
    const uint32_t crc = crc32_of(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    char text[9];
    std::snprintf(text, sizeof text, "%08X", crc); // upper case: any case matches
    return text;
}

// A <game> with one <rom> matched by the hash named in `by` (sha1, md5, crc: crc32
// with size, or none).
std::string game(const std::string& game_name, const std::string& rom_name,
                 const std::string& bytes, const std::string& by,
                 const std::string& status = "") {
    std::string rom = "<rom name=\"" + rom_name + "\"";
    if (by == "sha1") {
        rom += " sha1=\"" + digest(EVP_sha1(), bytes) + "\"";
    } else if (by == "md5") {
        rom += " md5=\"" + digest(EVP_md5(), bytes) + "\"";
    } else if (by == "crc") {
        rom += " size=\"" + std::to_string(bytes.size()) + "\" crc=\"" + crc_of(bytes) + "\"";
    }
    if (!status.empty()) {
        rom += " status=\"" + status + "\"";
    }
    return "<game name=\"" + game_name + "\"><description>x</description>" + rom + "/></game>\n";
}

test_image disk(const char* name) {
    test_image image = image_formatted(35, false, name, "DT");
    image_add_file(image, 0, 0x82, name, std::vector<uint8_t>(500, static_cast<uint8_t>(name[0])));
    return image;
}

} // namespace

TEST_F(cli, dat_verdicts_summary_and_missing_roms) {
    fs::create_directory(dir / "set");
    const test_image a = disk("A");
    const test_image b = disk("B");
    const test_image c = disk("C");
    test_image d = image_formatted(35, true, "D", "DT"); // error bytes all 1
    image_set_error(d, {1, 0}, 0);                      // and one 0: both mean no error
    test_image e = image_formatted(40, false, "E", "DT"); // tracks 36-40 empty
    const test_image f = disk("F");
    const test_image g = disk("G");
    const test_image u = disk("U");
    // A G64 whose one sector reads with a data checksum error: its decoded sectors
    // alone match the DAT's D64, but a sector in error is no match.
    const test_image h = disk("H");
    save_bytes(gcr_write_g64(h, {{gcr_fault::data_checksum, {1, 0}}}), "set/h.g64");
    const test_image n = disk("N");
    save_bytes(gcr_write_nib(n), "set/n.nib");
    for (const auto& [name, image] : {std::pair{"a.d64", &a}, {"b.d64", &b}, {"c.d64", &c},
                                      {"d.d64", &d}, {"e.d64", &e}, {"u.d64", &u}}) {
        save(*image, std::string("set/") + name);
    }
    save_bytes(gcr_write_g64(f), "set/f.g64");
    save_bytes(archive_pack(archive_kind::gz, {{"g.d64", bytes_of(g)}}), "set/g.d64.gz");
    const std::string d_bytes = bytes_of(d).substr(0, 174848);
    const std::string e_bytes = bytes_of(e).substr(0, 174848);
    save_bytes("<?xml version=\"1.0\"?>\n<datafile>\n<header><name>Test Set</name></header>\n" +
                   game("Game A", "a.d64", bytes_of(a), "sha1", "good") +
                   game("Game B", "b.d64", bytes_of(b), "md5", "baddump") +
                   game("Game C", "c-original.d64", bytes_of(c), "crc") +
                   game("Game D", "d.d64", d_bytes, "sha1") +
                   game("Game E", "e.d64", e_bytes, "sha1", "verified") +
                   game("Game F", "f.d64", bytes_of(f), "md5") +
                   game("Game G", "g.d64", bytes_of(g), "sha1") +
                   game("Game H", "h.d64", bytes_of(h), "sha1") +
                   game("Game N", "n.d64", bytes_of(n), "md5") +
                   game("Game U", "u.d64", bytes_of(u), "sha1", "nodump") +
                   game("Game M", "m.d64", "not on any disk", "sha1") +
                   game("No hashes", "n.d64", "", "none") + "</datafile>\n",
               "test.dat");
    const std::string set = (dir / "set").string();
    const std::string dat = (dir / "test.dat").string();

    const run_result result = run({"--recursive", "--dat", dat, "--missing", set});
    EXPECT_EQ(result.out, "a.d64: known \"Game A\" (Test Set)\n"
                          "b.d64: bad \"Game B\" (Test Set)\n"
                          "c.d64: known \"Game C\" (Test Set) as \"c-original.d64\"\n"
                          "d.d64: near \"Game D\" by error_bytes_dropped (Test Set)\n"
                          "e.d64: near \"Game E\" by empty_tracks_dropped (Test Set)\n"
                          "f.g64: near \"Game F\" by g64_decoded (Test Set)\n"
                          "g.d64.gz: known \"Game G\" (Test Set)\n"
                          "h.g64: unknown\n"
                          "n.nib: near \"Game N\" by nib_decoded (Test Set)\n"
                          "u.d64: unknown\n"
                          "missing: \"Game H\" \"h.d64\" (Test Set)\n"
                          "missing: \"Game M\" \"m.d64\" (Test Set)\n");
    EXPECT_TRUE(
        result.err.ends_with(
            "\nTest Set: have 3 of 10, bad 1, near 4, unknown images 2, skipped 1\n\n"))
        << result.err;
    EXPECT_EQ(result.status, 0);

    // The record names every match; a report comes before the verdict line.
    const nlohmann::json record =
        nlohmann::json::parse(run({"--json", "--dat=" + dat, set + "/c.d64"}).out);
    EXPECT_EQ(record["dat"], (nlohmann::json{{"verdict", "known"},
                                             {"matches",
                                              {{{"dat", "Test Set"},
                                                {"game", "Game C"},
                                                {"rom", "c-original.d64"},
                                                {"status", nullptr},
                                                {"by", "crc32"},
                                                {"normal_form", nullptr},
                                                {"named", "c-original.d64"}}}}}));
    EXPECT_EQ(record["image"]["crc32"], [&] {
        std::string crc = crc_of(bytes_of(c));
        std::transform(crc.begin(), crc.end(), crc.begin(), ::tolower);
        return crc;
    }());
    const run_result wide = run({"-w", "--dat", dat, set + "/a.d64"});
    EXPECT_TRUE(wide.out.starts_with("Disk name")) << wide.out;
    EXPECT_TRUE(wide.out.ends_with("\n" + set + "/a.d64: known \"Game A\" (Test Set)\n"));
}

// A DAT that cannot be used, hostile ones among them: one line naming it and what is
// wrong, status 1, no image read, in bounded time and memory.
TEST_F(cli, unusable_dat_files_end_the_run_before_any_image) {
    const std::string image = save(disk("A"), "a.d64");
    save_bytes("<datafile><game name=\"x\"><rom name=\"a\"/></datafile>\n", "broken.xml");
    save_bytes("<?xml version=\"1.0\"?>\n<html/>\n", "other.xml");
    // Nested entities used in an attribute (a billion laughs), and one entity of 100 KB
    // used 20,000 times: both would take any time and memory to expand.
    std::string laughs = "<?xml version=\"1.0\"?>\n<!DOCTYPE datafile [\n<!ENTITY lol0 \"lol\">\n";
    for (int level = 1; level <= 9; ++level) {
        laughs += "<!ENTITY lol" + std::to_string(level) + " \"";
        for (int i = 0; i < 10; ++i) {
            laughs += "&lol" + std::to_string(level - 1) + ";";
        }
        laughs += "\">\n";
    }
    save_bytes(laughs + "]>\n<datafile><game name=\"&lol9;\"/></datafile>\n", "laughs.dat");
    std::string quadratic = "<?xml version=\"1.0\"?>\n<!DOCTYPE datafile [<!ENTITY big \"" +
                            std::string(100000, 'x') + "\">]>\n<datafile><game name=\"";
    for (int i = 0; i < 20000; ++i) {
        quadratic += "&big;";
    }
    save_bytes(quadratic + "\"/></datafile>\n", "quadratic.dat");
    fs::create_directory(dir / "folder.dat");
    save_bytes(archive_pack(archive_kind::tar_gz, {{"x.dat", "<datafile/>"}}), "set.tar.gz");
    save_bytes(std::string("\x7f\x01\x00\xff binary", 11), "random.dat");
    save(disk("B"), "disk.dat");
    save_bytes(" \n\t\r\n ", "blank.dat");
    save_bytes("<?xml version=\"1.0\"?>\n<datafile><header><name>Gr\xf6\xdf"
               "e</name></header></datafile>\n",
               "latin1.dat");
    save_bytes("", "empty.dat");
    save_bytes(std::string("\xFF\xFE<\0d\0a\0t\0", 10), "utf16.dat");
    const std::string gzipped = archive_pack(archive_kind::gz, {{"x.dat", std::string(5000, 'x')}});
    save_bytes(gzipped.substr(0, gzipped.size() / 2), "cut.dat.gz");
    save_bytes(archive_pack(archive_kind::zip_deflated, {{"a.dat", "<datafile/>"}, {"b.dat", "<datafile/>"}}),
               "two.zip");
    // A zip whose one member's deflated data is damaged in the middle.
    std::string damaged = archive_pack(archive_kind::zip_deflated,
                                       {{"big.dat", "<datafile>" + std::string(20000, ' ') +
                                                        std::string(20000, 'q') + "</datafile>"}});
    for (size_t at = 60; at < 90; ++at) {
        damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
    }
    save_bytes(damaged, "damaged.zip");
    struct row {
        std::string file;
        std::string what; // after the file's name
    };
    const row rows[] = {
        {"broken.xml", ": line 1: Opening and ending tag mismatch"},
        {"other.xml",
         ": not a DAT: its root element is <html>, not <datafile> or <softwarelist>\n"},
        {"empty.dat", ": empty\n"},
        {"laughs.dat", ": declares entities, which a DAT never does: refused (expanding them can "
                       "take any time and memory)\n"},
        {"quadratic.dat", ": declares entities, which a DAT never does: refused (expanding them "
                          "can take any time and memory)\n"},
        {"/dev/zero", ": is not a regular file\n"},
        {"folder.dat", ": is a folder\n"},
        {"set.tar.gz", ": a tar archive: not supported (a DAT may be plain, gzip, bzip2 or xz "
                       "compressed, or the one file of a zip or 7z)\n"},
        {"random.dat", ": not a DAT: neither XML (a Logiqx datafile, a software list) nor "
                       "ClrMamePro text\n"},
        {"disk.dat", ": not a DAT: neither XML (a Logiqx datafile, a software list) nor "
                     "ClrMamePro text\n"},
        {"blank.dat", ": holds only white space\n"},
        {"latin1.dat", ": line 2: not UTF-8, and no encoding declared: declare the DAT's "
                       "encoding, as in <?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"},
        {"cut.dat.gz", ": truncated gzip input\n"},
        {"two.zip", ": an archive that holds more than one file\n"},
        {"utf16.dat", ": UTF-16 text: not supported (a DAT is read as UTF-8; convert it, as "
                      "with iconv -f UTF-16 -t UTF-8)\n"},
        {"damaged.zip", ": "},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.file);
        const std::string path = r.file.starts_with("/") ? r.file : (dir / r.file).string();
        const run_result result = run({"--dat", path, image});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "");
        const std::string head = banner + "\nCannot use the DAT file \"" + path + "\"" + r.what;
        EXPECT_EQ(result.err.substr(0, head.size()), head);
        // The banner and the blank line after it, the message, the run's last line.
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 4);
    }
}

// Text from a DAT is shown as paths are (controls, C1 and bidirectional controls as
// '?'), in the JSON record as JSON escapes it; roms whose size is no plain decimal
// number, or that stand outside any game, are skipped and counted; a DAT without a
// header name is named after its file.
TEST_F(cli, dat_text_is_shown_safely_and_unreadable_roms_are_counted) {
    const test_image a = disk("A");
    const std::string image = save(a, "a.d64");
    const std::string crc = " size=\"174848\" crc=\"" + crc_of(bytes_of(a)) + "\"";
    save_bytes("<?xml version=\"1.0\"?>\n<datafile>\n"
               "<rom name=\"lone.d64\"" +
                   crc +
                   "/>\n"
                   "<game name=\"Evil&#10;other.d64: known &quot;FAKE&quot; (X)&#x202E;&#x9B;\">"
                   "<rom name=\"a&#13;.d64\" sha1=\"" +
                   digest(EVP_sha1(), bytes_of(a)) +
                   "\"/></game>\n"
                   "<game name=\"Sizes\">"
                   "<rom name=\"w\" size=\"abc\" crc=\"12345678\"/><rom name=\"x\" "
                   "size=\"0x2AB00\" crc=\"12345678\"/>"
                   "<rom name=\"y\" size=\"174848 \" crc=\"12345678\"/><rom name=\"z\" size=\"-1\" "
                   "crc=\"12345678\"/>"
                   "</game>\n</datafile>\n",
               "Odd Set.dat");
    const std::string dat = (dir / "Odd Set.dat").string();
    const run_result result = run({"--dat", dat, "--missing", image});
    EXPECT_EQ(result.out, image + ": known \"Evil?other.d64: known \"FAKE\" (X)??\" (Odd Set) as "
                                  "\"a?.d64\"\n");
    EXPECT_EQ(result.err, banner + "\nOdd Set: have 1 of 1, bad 0, near 0, unknown images 0, "
                                   "skipped 5\n\n");
    EXPECT_EQ(result.status, 0);
    const nlohmann::json record = nlohmann::json::parse(run({"--json", "--dat", dat, image}).out);
    EXPECT_EQ(record["dat"]["matches"][0]["game"],
              "Evil\nother.d64: known \"FAKE\" (X)\u202E\u009B");
    EXPECT_EQ(record["dat"]["matches"][0]["rom"], "a\r.d64");
}

// A DAT of a tree, read back over the same tree: every image known, names escaped.
TEST_F(cli, make_dat_round_trips) {
    fs::create_directories(dir / "tree/sub");
    save(disk("ONE"), "tree/one.d64");
    save(disk("TWO"), "tree/sub/amp&<>\x01.d64");
    save(disk("FOUR"), "tree/caf\xC3\xA9.d64");
    save(disk("FIVE"), "tree/game.d64"); // one stem, two images
    save_bytes(gcr_write_g64(disk("SIX")), "tree/game.g64");
    save_bytes(archive_pack(archive_kind::zip_deflated, {{"in.d64", bytes_of(disk("THREE"))}}),
               "tree/z.zip");
    const std::string tree = (dir / "tree").string();
    const run_result made = run({"--make-dat=Round & Trip", "--recursive", "--jobs=2", tree});
    EXPECT_EQ(made.status, 0);
    EXPECT_NE(made.out.find("<name>Round &amp; Trip</name>"), std::string::npos);
    EXPECT_NE(made.out.find("<game name=\"sub/amp&amp;&lt;&gt;%01\">"), std::string::npos);
    EXPECT_NE(made.out.find("<game name=\"caf\xC3\xA9\">"), std::string::npos); // UTF-8 kept
    EXPECT_EQ(made.out, run({"--make-dat=Round & Trip", "--recursive", "--jobs=1", tree}).out);
    // One image is named by its file name, however its path was typed.
    const run_result single = run({"--make-dat=One", tree + "/./sub/../one.d64"});
    EXPECT_NE(single.out.find("<game name=\"one\">"), std::string::npos) << single.out;
    save_bytes(made.out, "round.dat");
    const run_result back = run({"--dat", (dir / "round.dat").string(), "--recursive", tree});
    EXPECT_EQ(back.out, "caf\xC3\xA9.d64: known \"caf\xC3\xA9\" (Round & Trip)\n"
                        "game.d64: known \"game\" (Round & Trip)\n"
                        "game.g64: known \"game.g64\" (Round & Trip)\n"
                        "one.d64: known \"one\" (Round & Trip)\n"
                        "sub/amp&<>?.d64: known \"sub/amp&<>%01\" (Round & Trip)\n"
                        "z.zip/in.d64: known \"z.zip/in\" (Round & Trip)\n");
}

// The same roms as a Logiqx datafile, a ClrMamePro text DAT and a MAME software list
// give the same verdicts. The Logiqx one names a DTD that is a FIFO: were it opened,
// the run would hang.
TEST_F(cli, clrmamepro_and_software_list_dats_verify_as_the_logiqx_one) {
    fs::create_directory(dir / "set");
    const test_image a = disk("A");
    const test_image b = disk("B");
    const test_image c = disk("C");
    const test_image f = disk("F");
    save(a, "set/a.d64");
    save(b, "set/b.d64");
    save(c, "set/c.d64");
    save_bytes(gcr_write_g64(f), "set/f.g64");
    ASSERT_EQ(mkfifo((dir / "trap.dtd").c_str(), 0600), 0);
    struct rom_row {
        std::string game, rom, bytes, by, status;
    };
    const rom_row roms[] = {{"Game A", "a.d64", bytes_of(a), "sha1", ""},
                            {"Game (B)", "b.d64", bytes_of(b), "sha1", "baddump"},
                            {"Game C", "c-original.d64", bytes_of(c), "crc", ""},
                            {"Game F", "f.d64", bytes_of(f), "sha1", ""},
                            {"Game M", "m.d64", "not on any disk", "sha1", ""}};
    const auto hashes = [&](const rom_row& r, const char* quote, const char* equals) {
        std::string text = std::string(" size") + equals + quote + std::to_string(r.bytes.size()) +
                           quote + " crc" + equals + quote + crc_of(r.bytes) + quote;
        if (r.by == "sha1") {
            text += std::string(" sha1") + equals + quote + digest(EVP_sha1(), r.bytes) + quote;
        }
        return text;
    };
    std::string logiqx = "<?xml version=\"1.0\"?>\n<!DOCTYPE datafile SYSTEM \"" +
                         (dir / "trap.dtd").string() +
                         "\">\n<datafile>\n<header><name>Same Set</name></header>\n";
    std::string cmpro = "clrmamepro (\n\tname \"Same Set\"\n\tcomment \"a (nested) \\\"string\"\n"
                        "\tforcezipping ( yes )\n)\n\n";
    std::string softlist = "<?xml version=\"1.0\"?>\n<softwarelist name=\"Same Set\" "
                           "description=\"Disks\">\n";
    for (const rom_row& r : roms) {
        const std::string status = r.status.empty() ? "" : " status=\"" + r.status + "\"";
        logiqx += "<game name=\"" + r.game + "\"><rom name=\"" + r.rom + "\"" +
                  hashes(r, "\"", "=") + status + "/></game>\n";
        cmpro += "game (\n\tdescription \"x (1985)\"\n\trom ( name " + r.rom + hashes(r, "", " ") +
                 (r.status.empty() ? "" : " flags " + r.status) + " )\n\tname \"" + r.game +
                 "\"\n)\n";
        softlist += "<software name=\"" + r.game +
                    "\"><description>x</description><part name="
                    "\"flop1\" interface=\"floppy_5_25\"><dataarea name=\"flop\" size=\"" +
                    std::to_string(r.bytes.size()) + "\"><rom name=\"" + r.rom + "\"" +
                    hashes(r, "\"", "=") + status + "/></dataarea></part></software>\n";
    }
    save_bytes(logiqx + "</datafile>\n", "logiqx.dat");
    save_bytes(cmpro, "cmpro.dat");
    save_bytes(softlist + "</softwarelist>\n", "softlist.xml");
    const std::string expected_out = "a.d64: known \"Game A\" (Same Set)\n"
                                     "b.d64: bad \"Game (B)\" (Same Set)\n"
                                     "c.d64: known \"Game C\" (Same Set) as \"c-original.d64\"\n"
                                     "f.g64: near \"Game F\" by g64_decoded (Same Set)\n"
                                     "missing: \"Game M\" \"m.d64\" (Same Set)\n";
    for (const char* dat : {"logiqx.dat", "cmpro.dat", "softlist.xml"}) {
        SCOPED_TRACE(dat);
        const run_result result = run(
            {"--dat", (dir / dat).string(), "--missing", "--recursive", (dir / "set").string()});
        EXPECT_EQ(result.out, expected_out);
        EXPECT_TRUE(result.err.ends_with("\nSame Set: have 2 of 5, bad 1, near 1, unknown images "
                                         "0\n\n"))
            << result.err;
        EXPECT_EQ(result.status, 0);
    }
}
