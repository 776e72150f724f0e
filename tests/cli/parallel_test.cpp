// Folders worked on by several threads print what one thread prints; long options;
// standard output that cannot be written.
#include "cli_support.h"

#include <nettle/version.h>
#include <sys/stat.h>

namespace {

const std::string not_recognized = "Input file not recognized as a supported D64 image\n";

} // namespace

TEST_F(cli, any_number_of_jobs_prints_the_same_bytes) {
    // More images than the window of the largest --jobs below holds, mixed with damaged
    // ones, wrong sizes, a FIFO, a folder and a dangling link that share the extension.
    for (int i = 0; i < 40; ++i) {
        test_image image = image_formatted(35, i % 3 == 0, "DISK " + std::to_string(i), "MX");
        image_add_file(image, 0, 0x82, "FILE", std::vector<uint8_t>(300 + i, uint8_t(i)));
        if (i % 7 == 0) {
            image_link(image, {18, 1}, 18, 1); // a looping directory
        }
        save(image, "good" + std::to_string(i) + ".d64");
    }
    save(image_sample(), "sample.d64"); // a broken chain, a size mismatch
    save_bytes(std::string(174849, 'x'), "long.d64");
    save_bytes("", "empty.D64");
    ASSERT_EQ(mkfifo((dir / "fifo.d64").c_str(), 0600), 0);
    fs::create_directory(dir / "x.d64");
    fs::create_symlink(dir / "nowhere", dir / "dangling.d64");
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{"-w", "-s"}, {"-b", "-e"}, {"-f", "f*"}}) {
        std::vector<std::string> args = options;
        args.push_back("--jobs=1");
        args.push_back(dir.string());
        const run_result one = run(args);
        SCOPED_TRACE(options[0]);
        EXPECT_EQ(one.status, 5); // long, empty, fifo, x.d64, dangling
        EXPECT_EQ(std::count(one.err.begin(), one.err.end(), '\n'), 3 + 5);
        size_t parsed = 0;
        for (size_t at = one.out.find("\nParsing: "); at != std::string::npos;
             at = one.out.find("\nParsing: ", at + 1)) {
            ++parsed;
        }
        EXPECT_EQ(parsed, 46u);
        for (const char* jobs : {"--jobs=2", "--jobs=3", "--jobs=8", "--jobs=256", "--jobs=5"}) {
            args[args.size() - 2] = jobs;
            const run_result many = run(args);
            EXPECT_EQ(many.out, one.out) << jobs;
            EXPECT_EQ(many.err, one.err) << jobs;
            EXPECT_EQ(many.status, one.status) << jobs;
        }
    }
}

TEST_F(cli, long_options_mix_with_short_ones) {
    test_image image = image_formatted(35, false, "LONG", "LO");
    test_entry entry;
    entry.name = petscii_name("--JOBS=2", 0);
    image_set_entry(image, 0, entry);
    const std::string path = save(image, "l.d64");
    const std::string listing = "0 .\"long            \" lo 2a\n0    \"--jobs=2\"         prg \n"
                                "664 blocks free.\n";
    const std::string wide_head = "Disk name           Disk id  Free blocks\n";
    const std::string help_tail =
        "\nLong options (anywhere before the path):\n"
        "   --jobs=N, --jobs N: Work on N images of a folder at once, 1 to 256\n"
        "      (default: the CPUs this process may run on); the output is the same\n"
        "   --recursive: Also look into subfolders and archives (zip, 7z, rar, tar,\n"
        "      gz, bz2, xz), also when the path is an archive\n"
        "   --json: Print one JSON record per image (JSON Lines) instead of the\n"
        "      reports; -f keeps the images with a matching name\n"
        "   --unicode[=upper|lower]: Show disk and file names as the C64 shows them, in\n"
        "      Unicode, in its uppercase/graphics (default) or lowercase character set\n"
        "   --extract=DIR, --extract DIR: Also write every PRG, SEQ, USR and REL file\n"
        "      into DIR/<image path>/, never overwriting anything\n"
        "   --check: Check each image's file system (read only): a verdict line and a\n"
        "      line per problem; the exit status counts the images with errors.\n"
        "      With -w, -s, -b or -f the report comes first\n"
        "   --dat=FILE, --dat FILE: Match every image against the known dumps of a\n"
        "      DAT file (Logiqx XML, MAME software list or ClrMamePro text; plain,\n"
        "      compressed or zipped; repeatable): one line per image, a summary per\n"
        "      DAT on standard error\n"
        "   --missing: With --dat, also list the roms no image matched\n"
        "   --make-dat=NAME, --make-dat NAME: Write a DAT of the images instead of any\n"
        "      report\n"
        "   --formats: List the formats read, with their sizes or signatures\n"
        "   --help: Show this text\n"
        "   --version: Show the versions of floppeek, trakvol and Nettle\n";
    const std::string bad_jobs = "floppeek: --jobs needs a number from 1 to 256, not ";
    const std::string version = std::string("floppeek 1.4.5 (trakvol 2.4.0)\nGNU Nettle ") +
                                std::to_string(nettle_version_major()) + "." +
                                std::to_string(nettle_version_minor()) + "\n";
    struct row {
        std::vector<std::string> args;
        int status;
        std::string out, err; // err "" means the banner and the two newlines
    };
    const row rows[] = {
        {{"--jobs=0", path}, 1, "", bad_jobs + "\"0\"\n"},
        {{"-w", "--jobs=abc", path}, 1, "", bad_jobs + "\"abc\"\n"},
        {{"--jobs=257", path}, 1, "", bad_jobs + "\"257\"\n"},
        {{"--jobs=", path}, 1, "", bad_jobs + "\"\"\n"},
        {{"--jobs=2x", path}, 1, "", bad_jobs + "\"2x\"\n"},
        {{"--jobs"}, 1, "", bad_jobs + "\"\"\n"},
        {{"--jobs", "3", path}, 0, listing, ""},
        {{"--jobs", path}, 1, "", bad_jobs + "\"" + path + "\"\n"},
        {{"-s", "--help", path}, 0, usage_text() + help_tail, "-"},
        {{"--version"}, 0, version, "-"},
        {{"--", "-", path}, 0, listing, ""},
        // An unknown long option ends the run, with the nearest known one as a hint.
        {{"--colour=always", path}, 1, "", "Unknown option \"--colour=always\"\n" + usage_text()},
        {{"--chek", "--recursive", path},
         1,
         "",
         "Unknown option \"--chek\"; did you mean \"--check\"?\n" + usage_text()},
        {{"--dta=x.dat", path},
         1,
         "",
         "Unknown option \"--dta=x.dat\"; did you mean \"--dat\"?\n" + usage_text()},
        {{"--recursve", path},
         1,
         "",
         "Unknown option \"--recursve\"; did you mean \"--recursive\"?\n" + usage_text()},
        {{"--json=yes", path},
         1,
         "",
         "Unknown option \"--json=yes\"; did you mean \"--json\"?\n" + usage_text()},
        {{"--\x1b[2J", path}, 1, "", "Unknown option \"--?[2J\"\n" + usage_text()},
        {{"--make-dat"}, 1, "", "floppeek: --make-dat needs a name\n"},
        {{"-w", "--jobs=2", "-s", path}, 0, wide_head, ""},
        {{"-f", "--jobs=2", path}, 0, "Match: \"--jobs=2\"\n", ""},
        {{"-f", "--help", path}, 0, "", ""},
        {{path, "--jobs=2"}, 1, "", banner + usage_text() + "\n"},
        {{"--unicode=mixed", path},
         1,
         "",
         "floppeek: --unicode takes upper or lower, not \"mixed\"\n"},
        // Unshifted letters are capitals in the uppercase set, small in the lowercase; the
        // id's shifted space is a no-break space.
        {{"--unicode", path},
         0,
         "0 .\"LONG            \" LO\u00A02A\n0    \"--JOBS=2\"         prg \n664 blocks free.\n",
         ""},
        {{"--unicode=lower", path},
         0,
         "0 .\"long            \" lo\u00A02a\n0    \"--jobs=2\"         prg \n664 blocks free.\n",
         ""},
    };
    for (const row& r : rows) {
        const run_result result = run(r.args);
        SCOPED_TRACE(r.args[0] + " " + (r.args.size() > 1 ? r.args[1] : ""));
        EXPECT_EQ(result.status, r.status);
        EXPECT_EQ(result.out.substr(0, r.out == wide_head ? wide_head.size() : std::string::npos),
                  r.out);
        EXPECT_EQ(result.err, r.err == "" ? banner + "\n\n" : r.err == "-" ? "" : r.err);
    }
}

TEST_F(cli, unwritable_standard_output_is_a_failure_said_once) {
    const test_image image = image_formatted(35, false);
    const std::string single = save(image, "one.d64");
    const fs::path folder = dir / "folder";
    fs::create_directory(folder);
    for (int i = 0; i < 30; ++i) {
        save(image, "folder/" + std::to_string(i) + ".d64");
    }
    struct row {
        stdout_to where;
        std::vector<std::string> args;
        std::string reason;
    };
    const row rows[] = {
        {stdout_to::full_device, {"-w", single}, "No space left on device"},
        {stdout_to::full_device, {"-w", folder}, "No space left on device"},
        {stdout_to::full_device, {"--jobs=1", folder}, "No space left on device"},
        {stdout_to::closed, {"-b", single}, "Bad file descriptor"},
        {stdout_to::closed, {"-w", "--jobs=4", folder}, "Bad file descriptor"},
    };
    for (const row& r : rows) {
        const run_result result = run(r.args, r.where);
        SCOPED_TRACE(r.args[r.args.size() - 1] + " " + r.reason);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, banner + "\nCannot write to standard output: " + r.reason + "\n\n");
    }
    EXPECT_EQ(run({"-f", "nothing", single}, stdout_to::full_device).status, 0); // nothing written

    // A reader that stops early ends the run at once, quietly, by SIGPIPE.
    const std::string command = "timeout 10 sh -c '" + std::string(FLOPPEEK_BINARY) + " -w " +
                                folder.string() + " 2>/dev/null | head -n 3; echo ${PIPESTATUS:-}'";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string lines;
    for (int c = std::fgetc(pipe); c != EOF; c = std::fgetc(pipe)) {
        lines += static_cast<char>(c);
    }
    EXPECT_EQ(pclose(pipe), 0); // not the 124 of a timeout
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 4) << lines;
}

TEST_F(cli, joint_log_keeps_each_message_after_its_parsing_line) {
    save(image_formatted(35, false), "a.d64");
    save_bytes("short", "b.d64");
    save(image_formatted(35, false), "c.d64");
    fs::create_directory(dir / "d.d64");
    for (const char* jobs : {"--jobs=1", "--jobs=2"}) {
        const run_result result = run({jobs, "-b", dir.string()}, stdout_to::stderr_file);
        EXPECT_EQ(result.status, 2);
        const std::string head =
            banner + "\nProcessing all D64 files in \"" + dir.string() + "\"\n";
        EXPECT_EQ(result.err.substr(0, head.size()), head) << jobs;
        EXPECT_NE(result.err.find("\nParsing: \"b.d64\"\n" + not_recognized), std::string::npos)
            << jobs;
        EXPECT_NE(
            result.err.find("\nParsing: \"d.d64\"\nCannot open file for reading: \"d.d64\"\n"),
            std::string::npos)
            << jobs;
    }
}
