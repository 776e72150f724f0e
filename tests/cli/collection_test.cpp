// --recursive over a tree of folders and archives that the test builds itself:
// exact output, order, failure count, and the same bytes for every number of jobs.
#include "archive_builder.h"
#include "cli_support.h"

#include <fcntl.h>
#include <stdlib.h>

#include <sys/stat.h>

namespace {

// A 35-track disk whose first directory slot holds a file named `first` (zero padded,
// so that a search for "*" prints the name alone).
std::string disk(const char* first) {
    test_image image = image_formatted(35, false, "COLLECTION", "CO");
    test_entry entry;
    entry.name = petscii_name(first, 0);
    image_set_entry(image, 0, entry);
    return std::string(image.bytes.begin(), image.bytes.end());
}

std::string nested_zips(int levels) {
    std::string inner = archive_pack(archive_kind::zip_deflated, {{"f.d64", disk("TOO DEEP")}});
    for (int level = levels; level >= 2; --level) {
        std::vector<archive_member> members = {{"l" + std::to_string(level) + ".zip", inner}};
        if (level == levels) { // l4.zip: the deepest one opened
            members.insert(members.begin(), {"f.d64", disk("KAPPA")});
        }
        inner = archive_pack(archive_kind::zip_stored, members);
    }
    return inner;
}

} // namespace

TEST_F(cli, recursive_walk_lists_folders_and_archives_in_order) {
    fs::create_directories(dir / "1985");
    fs::create_directories(dir / "1986");
    save_bytes(
        archive_pack(archive_kind::zip_deflated, {{"disk1.d64", disk("ALPHA")},
                                                  {"notes.txt", "not an image"},
                                                  {".hidden.d64", disk("HIDDEN")},
                                                  {"sub/disk2.D64", disk("BETA")},
                                                  {"__MACOSX/._disk1.d64", "resource fork"}}),
        "1985/Games.zip");
    save_bytes(archive_pack(archive_kind::zip_stored, {{"x.d64", disk("GAMMA")}}),
               "1985/Stored.zip");
    save_bytes(archive_pack(archive_kind::gz, {{"b.d64", disk("DELTA")}}), "1986/b.d64.gz");
    fs::create_symlink("../plain.d64", dir / "1986/link.d64");
    fs::create_symlink("..", dir / "1986/loop");
    save_bytes(archive_pack(archive_kind::seven_zip, {{"d.d64", disk("EPSILON")}}), "1986/pack.7z");
    save_bytes(archive_pack(archive_kind::tar_gz,
                            {{"./c.d64", disk("ZETA")}, {"big.d64", std::string(20 << 20, '\0')}}),
               "1986/pack.tar.gz");
    ASSERT_EQ(mkfifo((dir / "1986/pipe.d64").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo((dir / "1986/pipe.zip").c_str(), 0600), 0);
    save_bytes(nested_zips(5), "deep.zip");
    save_bytes(archive_pack(archive_kind::zip_encrypted, {{"secret.d64", disk("SECRET")}}),
               "enc.zip");
    save_bytes(archive_pack(archive_kind::zip_deflated, {{"\xff\xfe.d64", disk("LAMBDA")},
                                                         {"   .d64", disk("LAMBDA")},
                                                         {"esc\x1b[2J.d64", disk("LAMBDA")},
                                                         {"tab\t\x7f.d64", disk("LAMBDA")}}),
               "names.zip");
    save_bytes(archive_pack(archive_kind::zip_stored,
                            {{"inner.zip",
                              archive_pack(archive_kind::zip_deflated, {{"e.d64", disk("ETA")}})}}),
               "nested.zip");
    save_bytes(disk("OMEGA"), "plain.d64");
    save_bytes("not an image", "readme.txt");
    const std::string whole = archive_pack(archive_kind::zip_stored,
                                           {{"t1.d64", disk("THETA")}, {"t2.d64", disk("IOTA")}});
    save_bytes(whole.substr(0, 174848 + 174848 / 2), "trunc.zip");

    const auto parsed = [](const std::string& path, const std::string& match) {
        return "\nParsing: \"" + path + "\"\n" +
               (match.empty() ? "" : "Match: \"" + match + "\"\n");
    };
    const std::string expected_out =
        "Processing all disk images in \"" + dir.string() + "\"\n" +
        parsed("1985/Games.zip/disk1.d64", "alpha") +
        parsed("1985/Games.zip/sub/disk2.D64", "beta") + parsed("1985/Stored.zip/x.d64", "gamma") +
        parsed("1986/b.d64.gz", "delta") + parsed("1986/link.d64", "omega") +
        parsed("1986/pack.7z/d.d64", "epsilon") + parsed("1986/pack.tar.gz/c.d64", "zeta") +
        parsed("1986/pack.tar.gz/big.d64", "") + parsed("1986/pipe.d64", "") +
        parsed("deep.zip/l2.zip/l3.zip/l4.zip/f.d64", "kappa") + parsed("enc.zip/secret.d64", "") +
        parsed("names.zip/\xff\xfe.d64", "lambda") + parsed("names.zip/   .d64", "lambda") +
        parsed("names.zip/esc?[2J.d64", "lambda") + parsed("names.zip/tab??.d64", "lambda") +
        parsed("nested.zip/inner.zip/e.d64", "eta") + parsed("plain.d64", "omega") +
        parsed("trunc.zip/t1.d64", "theta") + parsed("trunc.zip/t2.d64", "");
    const std::string expected_err =
        banner + "\n" +
        "Input file too large for a disk image: 20971520 bytes: \"1986/pack.tar.gz/big.d64\"\n"
        "Cannot open file for reading: \"1986/pipe.d64\"\n"
        "Cannot open archive: \"1986/pipe.zip\"\n"
        "Archive nested deeper than 4 levels: \"deep.zip/l2.zip/l3.zip/l4.zip/l5.zip\"\n"
        "Encrypted archive member: \"enc.zip/secret.d64\"\n"
        "Damaged archive member: \"trunc.zip/t2.d64\"\n\n";
    for (const char* jobs : {"--jobs=1", "--jobs=3", "--jobs=2"}) {
        const run_result result = run({"-f", "*", "--recursive", jobs, dir.string()});
        SCOPED_TRACE(jobs);
        EXPECT_EQ(result.out, expected_out);
        EXPECT_EQ(result.err, expected_err);
        EXPECT_EQ(result.status, 6);
#ifndef FLOPPEEK_SANITIZED
        EXPECT_LT(result.peak_rss_kib, 64 * 1024); // a 20 MiB member among them
#endif
    }

    // Without --recursive nothing changes: the folder's own .d64 files only, and an
    // archive is not an image. An archive given with --recursive is walked itself.
    struct row {
        std::vector<std::string> args;
        std::string out, err;
        int status;
    };
    const row rows[] = {
        {{"-f", "*", dir.string()},
         "Processing all D64 files in \"" + dir.string() + "\"\n" + parsed("plain.d64", "omega"),
         "",
         0},
        {{"-f", "*", (dir / "nested.zip").string()},
         "",
         "Input file not recognized as a supported D64 image\n",
         1},
        {{"--recursive", "-f", "*", (dir / "nested.zip").string()},
         "Processing all disk images in \"" + (dir / "nested.zip").string() + "\"\n" +
             parsed("inner.zip/e.d64", "eta"),
         "",
         0},
        {{"--recursive", "-f", "*", (dir / "1986/b.d64.gz").string()},
         "Processing all disk images in \"" + (dir / "1986/b.d64.gz").string() + "\"\n" +
             parsed("b.d64.gz", "delta"),
         "",
         0},
        {{"--recursive", "-f", "*", (dir / "plain.d64").string()}, "Match: \"omega\"\n", "", 0},
    };
    for (const row& r : rows) {
        const run_result result = run(r.args);
        SCOPED_TRACE(r.args.back());
        EXPECT_EQ(result.out, r.out);
        EXPECT_EQ(result.err, banner + "\n" + r.err + "\n");
        EXPECT_EQ(result.status, r.status);
    }
}

TEST_F(cli, recursive_progress_line_only_on_a_terminal_and_erased_at_the_end) {
    // script(1) needs a pseudo-terminal, which a chroot or container without /dev/pts
    // cannot give.
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    const bool have_terminal = master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0 &&
                               ptsname(master) != nullptr &&
                               access(ptsname(master), R_OK | W_OK) == 0;
    if (master >= 0) {
        close(master);
    }
    if (!have_terminal) {
        GTEST_SKIP() << "no pseudo-terminal can be made here (no /dev/ptmx or /dev/pts)";
    }
    for (int i = 0; i < 3; ++i) {
        save(image_formatted(35, false), "d" + std::to_string(i) + ".d64");
    }
    save_bytes("short", "e.d64");
    // script(1) gives the program a terminal as standard error (and standard output,
    // sent to /dev/null here); the terminal turns each "\n" into "\r\n".
    const std::string command = std::string("script -q -e -c '") + FLOPPEEK_BINARY +
                                " --recursive --jobs=1 " + dir.string() + " >/dev/null' /dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string terminal;
    for (int c = std::fgetc(pipe); c != EOF; c = std::fgetc(pipe)) {
        terminal += static_cast<char>(c);
    }
    EXPECT_EQ(pclose(pipe), 1 << 8); // one image failed
    const size_t line = terminal.find("\r\033[K1 images, 0 failed, ");
    ASSERT_NE(line, std::string::npos) << terminal;
    // Every status line drawn is erased again: before a message and at the end.
    const size_t last = terminal.rfind(" MB/s");
    EXPECT_EQ(terminal.substr(last, 9), " MB/s\r\033[K") << terminal;
    EXPECT_NE(
        terminal.find("\033[KInput file not recognized as a supported D64 image: \"e.d64\"\r\n"),
        std::string::npos)
        << terminal;
    EXPECT_EQ(run({"--recursive", dir.string()}).err.find('\033'), std::string::npos);
}

TEST_F(cli, recursive_walk_reports_what_it_may_not_read_and_goes_on) {
    // Run as root, the program drops to "nobody", who must reach the binary.
    for (fs::path at = FLOPPEEK_BINARY; geteuid() == 0 && at != at.root_path();
         at = at.parent_path()) {
        if ((fs::status(at).permissions() & fs::perms::others_exec) == fs::perms::none) {
            GTEST_SKIP() << at << " is closed to other users";
        }
    }
    fs::create_directories(dir / "a" / "locked");
    save(image_formatted(35, false), "a/locked/hidden.d64");
    save(image_formatted(35, false), "a/secret.d64");
    save(image_formatted(35, false), "b.d64");
    fs::permissions(dir / "a" / "locked", fs::perms::none);
    fs::permissions(dir / "a" / "secret.d64", fs::perms::none);
    fs::permissions(dir, fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(dir / "a",
                    fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(dir / "b.d64", fs::perms::owner_all | fs::perms::others_read);
    const run_result result = run({"--recursive", "-f", "*", dir.string()}, stdout_to::file, true);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "Processing all disk images in \"" + dir.string() + "\"\n" +
                              "\nParsing: \"a/secret.d64\"\n\nParsing: \"b.d64\"\nMatch: \"\"\n");
    EXPECT_EQ(result.err, banner + "\nCannot open folder: \"a/locked\"\n" +
                              "Cannot open file for reading: \"a/secret.d64\"\n\n");
    fs::permissions(dir / "a" / "locked", fs::perms::owner_all);
}
