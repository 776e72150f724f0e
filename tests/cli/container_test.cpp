// Tapes, cartridges and loose files end to end: one program's MD5 on a disk, in a
// T64, a P00, on a tape and as a PRG; the reports, the check, extraction and the
// record; and files written by the peers (VICE's cartconv, cbmconvert).
#include "archive_builder.h"
#include "cli_support.h"
#include "container_writer.h"
#include "test_support.h"

#include <nlohmann/json.hpp>
#include <openssl/evp.h>

namespace {

bool have(const char* tool) {
    return std::system(("command -v " + std::string(tool) + " >/dev/null 2>&1").c_str()) == 0;
}

std::string md5_of(const std::string& bytes) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), out, &length, EVP_md5(), nullptr);
    return hex(out, length);
}

const container_entry k_program{"GAME", 0x0801, std::vector<uint8_t>(3000, 0x5A), 0x82, {}};

} // namespace

TEST_F(cli, a_program_has_one_md5_wherever_it_is_kept) {
    const std::string as_a_disk_holds_it = container_write_prg(k_program);
    test_image disk = image_formatted(35, false, "DISK", "DK");
    image_add_file(disk, 0, 0x82, "GAME",
                   std::vector<uint8_t>(as_a_disk_holds_it.begin(), as_a_disk_holds_it.end()));
    fs::create_directory(dir / "set");
    save(disk, "set/game.d64");
    save_bytes(container_write_t64({k_program}), "set/game.t64");
    save_bytes(container_write_p00(k_program), "set/game.p00");
    save_bytes(container_write_tap({k_program}), "set/game.tap");
    save_bytes(as_a_disk_holds_it, "set/game.prg");
    const run_result result = run({"--json", "--recursive", (dir / "set").string()});
    EXPECT_EQ(result.status, 0);
    std::istringstream lines(result.out);
    std::vector<std::string> formats;
    for (std::string line; std::getline(lines, line);) {
        const nlohmann::json record = nlohmann::json::parse(line);
        formats.push_back(record["image"]["format"]);
        SCOPED_TRACE(formats.back());
        ASSERT_EQ(record["files"].size(), 1u);
        const nlohmann::json& file = record["files"][0];
        EXPECT_EQ(file.contains("md5") ? file["md5"] : file["chain"]["md5"],
                  md5_of(as_a_disk_holds_it));
        EXPECT_EQ(file["name"], "game");
    }
    EXPECT_EQ(formats, (std::vector<std::string>{"d64", "p00", "prg", "t64", "tap"}));
}

// The reports of a tape container and of a tape with a file no copy of which reads:
// the listing, the wide listing, the BAM line, the search, the check and its status,
// the extraction and the record.
TEST_F(cli, tapes_and_containers_through_every_report) {
    container_entry world{"WORLD", 0xC000, std::vector<uint8_t>(300, 9), 0x82, 0xC3C6};
    const std::string t64 = save_bytes(container_write_t64({k_program, world}, "MY TAPE"), "x.t64");
    // A name that goes on after a shifted space, and a SEQ file, whose slot gives
    // addresses too.
    const std::string names =
        save_bytes(container_write_t64({{"INTRO\xA0V2", 0x0801, {1, 2}, 0x82, {}},
                                        {"NOTES", 0x1000, std::vector<uint8_t>(16, 3), 0x81, {}}},
                                       "NAMES", 0),
                   "names.t64");
    tap_options damaged;
    damaged.faults = {{tap_fault::data_checksum_both, 1}};
    damaged.turbo_pulses = 700;
    const std::string tap = save_bytes(container_write_tap({k_program, world}, damaged), "x.tap");
    struct row {
        std::vector<std::string> args;
        std::string out;
        int status;
    };
    const std::string md5_game = md5_of(container_write_prg(k_program));
    const row rows[] = {
        {{t64},
         "0 .\"my tape         \" t64\n"
         "12   \"game\"             prg \n"
         "2    \"world\"            prg \n"
         "2 files, 3304 bytes.\n",
         0},
        {{"-w", t64},
         "Container name      Format\n\"my tape         \"  t64\n\n"
         "Seq  Size File name          Type  Load   End    Bytes   MD5 hash\n"
         "1    12   \"game\"             prg   $0801  $13b9  3002    " +
             md5_game +
             "\n"
             "2    2    \"world\"            prg   $c000  $c3c6  302     " +
             md5_of(container_write_prg(world)) + "\n",
         0},
        {{"-b", t64}, "No BAM: a t64 holds files, not the sectors of a disk\n", 0},
        {{"-f", "w*", t64}, "Match: \"world           \"\n", 0},
        {{"--check", t64}, t64 + ": 1 warning\n  warning end_address_wrong \"world\"\n", 0},
        {{names},
         "0 .\"names           \" t64\n"
         "1    \"intro\"v2          prg \n"
         "1    \"notes\"            seq \n"
         "2 files, 20 bytes.\n",
         0},
        {{"-w", names},
         "Container name      Format\n\"names           \"  t64\n\n"
         "Seq  Size File name          Type  Load   End    Bytes   MD5 hash\n"
         "1    1    \"intro\"v2          prg   $0801  $0803  4       " +
             md5_of(std::string("\x01\x08\x01\x02", 4)) +
             "\n"
             "2    1    \"notes\"            seq   $1000  $1010  16      " +
             md5_of(std::string(16, '\3')) + "\n",
         0},
        {{"-w", tap},
         "Container name      Format\n\"                \"  tap\n\n"
         "Seq  Size File name          Type  Hdr  Load   End    Bytes   MD5 hash\n"
         "1    12   \"game\"             prg   3    $0801  $13b9  3002    " +
             md5_game +
             "\n"
             "2    0    \"world\"            prg   3    $c000  $c3c6  0       [ no data ]\n",
         0},
        {{tap},
         "0 .\"                \" tap\n"
         "12   \"game\"             prg \n"
         "0    \"world\"            prg \n"
         "2 files, 3002 bytes; 2 of 4 copies read; 700 pulses of other data.\n",
         0},
        {{"--check", tap}, tap + ": 1 error\n  error no_good_copy \"world\"\n", 1},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.args[0]);
        const run_result result = run(r.args);
        EXPECT_EQ(result.out, r.out);
        EXPECT_EQ(result.status, r.status);
    }
    const run_result extracted = run({"--extract", (dir / "out").string(), tap});
    EXPECT_EQ(slurp(dir / "out/x.tap/GAME.prg"), container_write_prg(k_program));
    EXPECT_FALSE(fs::exists(dir / "out/x.tap/WORLD.prg")); // no good copy: nothing to write
    const nlohmann::json record = nlohmann::json::parse(run({"--json", "--check", tap}).out);
    EXPECT_EQ(record["image"]["tracks"], nullptr);
    EXPECT_FALSE(record.contains("disk"));
    EXPECT_EQ(record["tape"]["other_pulses"], 700);
    EXPECT_EQ(record["files"][1]["md5"], nullptr);
    EXPECT_EQ(record["files"][1]["copies_ok"], 0);
    EXPECT_EQ(record["check"]["verdict"], "errors");
    EXPECT_EQ(record["files"][0]["tape_type"], 3);
    const nlohmann::json seq = nlohmann::json::parse(run({"--json", names}).out)["files"][1];
    EXPECT_EQ(seq["load_address"], 0x1000);
    EXPECT_EQ(seq["end_address"], 0x1010);
    EXPECT_FALSE(seq.contains("tape_type"));
    // A SEQ file's data alone, without the slot's load address; a search that matches
    // no name gives no record.
    run({"--extract", (dir / "out").string(), names});
    EXPECT_EQ(slurp(dir / "out/names.t64/NOTES.seq"), std::string(16, '\3'));
    EXPECT_EQ(run({"--json", "-f", "nothing*", names}).out, "");
}

// Files the peers write: a cartridge made by VICE's cartconv, a P00 by cbmconvert, and
// a T64 read back by cbmconvert as floppeek extracts it.
TEST_F(cli, peer_made_cartridges_pc64_files_and_tapes) {
    if (!have("cartconv") || !have("cbmconvert")) {
        GTEST_SKIP() << "VICE's cartconv or cbmconvert is not installed";
    }
    std::string rom(8192, '\0');
    for (size_t i = 0; i < rom.size(); ++i) {
        rom[i] = static_cast<char>(i * 7);
    }
    save_bytes(rom, "rom.bin");
    save_bytes(container_write_prg(k_program), "game.prg");
    save_bytes(container_write_t64({k_program}), "tape.t64");
    const std::string in = "cd '" + dir.string() + "' && ";
    ASSERT_EQ(std::system((in + "cartconv -t normal -i rom.bin -o peer.crt -n 'PEER CART' -l "
                                "0x8000 >/dev/null 2>&1 && cbmconvert -P game.prg >/dev/null 2>&1 "
                                "&& mkdir peer && cd peer && cbmconvert -N -t ../tape.t64 "
                                ">/dev/null 2>&1")
                              .c_str()),
              0);
    const run_result crt = run({"-w", (dir / "peer.crt").string()});
    EXPECT_EQ(crt.out, "0 .\"PEER CART       \" crt\n"
                       "C64 cartridge, type 0 (Normal cartridge), 8K mode (exrom 0, game 1), "
                       "version 1.00\n"
                       "rom    bank 0    $8000  8192   " +
                           md5_of(rom) +
                           "\n"
                           "1 chip, 8192 bytes.\n");
    const nlohmann::json p00 =
        nlohmann::json::parse(run({"--json", (dir / "game.p00").string()}).out);
    EXPECT_EQ(p00["files"][0]["md5"], md5_of(container_write_prg(k_program)));
    run({"--extract", (dir / "out").string(), (dir / "tape.t64").string()});
    EXPECT_EQ(slurp(dir / "out/tape.t64/GAME.prg"), slurp(dir / "peer/game.prg"));
    run({"--extract", (dir / "out").string(), (dir / "peer.crt").string()});
    EXPECT_EQ(slurp(dir / "out/peer.crt/bank0-8000.bin"), rom);
}

// The names of the numbered C64 hardware types are cartconv's, every one of them.
TEST_F(cli, cartridge_type_names_are_cartconvs) {
    if (!have("cartconv")) {
        GTEST_SKIP() << "VICE's cartconv is not installed";
    }
    const std::string listing = dir / "types.txt";
    std::system(("cartconv --types >'" + listing + "' 2>&1").c_str()); // exits with 1
    std::istringstream lines(slurp(listing));
    std::map<int32_t, std::string> theirs;
    bool c64 = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.ends_with("types:")) {
            c64 = line == "C64 cartridge types:";
            continue;
        }
        std::istringstream fields(line);
        std::string option;
        int32_t number = 0;
        std::string name;
        // "ar5       1 Action Replay V5 .crt file" (and for some ", extra files ...")
        if (c64 && fields >> option >> number && std::getline(fields >> std::ws, name) &&
            name.find(" .crt file") != std::string::npos) {
            theirs[number] = name.substr(0, name.find(" .crt file"));
        }
    }
    ASSERT_GT(theirs.size(), 70u);
    std::map<int32_t, std::string> ours;
    for (int32_t number = 1; number < 1000; ++number) {
        const char* name = nullptr;
        if (d64_cartridge_type_name(number, &name)) {
            ours[number] = name;
        }
    }
    EXPECT_EQ(ours, theirs);
}

// What a name says counts once its compression suffix is off; a file past its format's
// read limit fails in one line wherever it is found; a name that says what was tried
// says so when the file is none.
TEST_F(cli, names_and_read_limits_in_every_mode) {
    const std::string big =
        container_write_prg({"BIG", 0x0801, std::vector<uint8_t>(1 << 20, 1), 0x82, {}});
    save_bytes(big, "big.prg");
    save_bytes(archive_pack(archive_kind::zip_deflated, {{"big.prg", big}}), "big.zip");
    save_bytes(archive_pack(archive_kind::gz, {{"h.PRG", container_write_prg(k_program)}}),
               "h.PRG.gz");
    save_bytes("\x01", "one.prg");
    struct row {
        std::vector<std::string> args;
        std::string err; // the one line
        int status;
    };
    const std::string too_large = "Input file too large for a PRG: 1048578 bytes";
    const row rows[] = {
        {{"big.prg"}, too_large, 1},
        {{"--recursive", "big.zip"}, too_large + ": \"big.prg\"", 1},
        {{"--json", "--recursive", "."},
         too_large + ": \"big.prg\"\n" + too_large +
             ": \"big.zip/big.prg\"\n"
             "Input file not recognized as a supported PRG "
             "file: \"one.prg\"",
         3},
        {{"one.prg"}, "Input file not recognized as a supported PRG file", 1},
        {{"--recursive", "missing"}, "Cannot open input file or folder: \"missing\"", 1},
        {{"missing"}, "Cannot open input file or folder", 1},
    };
    const fs::path before = fs::current_path();
    fs::current_path(dir);
    for (const row& r : rows) {
        SCOPED_TRACE(r.args.back());
        const run_result result = run(r.args);
        EXPECT_EQ(result.err, banner + "\n" + r.err + "\n\n");
        EXPECT_EQ(result.status, r.status);
    }
    const run_result gz = run({"--recursive", "h.PRG.gz"});
    EXPECT_EQ(gz.out, "Processing all disk images in \"h.PRG.gz\"\n\nParsing: \"h.PRG.gz\"\n"
                      "0 .\"                \" prg\n12   \"h\"                prg \n"
                      "1 file, 3002 bytes.\n");
    fs::current_path(before);
}
