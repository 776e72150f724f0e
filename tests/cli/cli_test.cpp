// Runs the built floppeek binary on images made by the image builder and checks
// stdout, stderr and the exit status exactly.
#include "cli_support.h"

#include <algorithm>

namespace {

// A small disk: DEMO (scratched), DEMO, a name with zero padding and one with a
// shifted space inside.
test_image search_image() {
    test_image image = image_formatted(35, false, "SEARCH", "SR");
    test_entry entry;
    entry.type = 0;
    entry.name = petscii_name("DEMO");
    image_set_entry(image, 0, entry);
    entry.type = 0x82;
    entry.name = petscii_name("DEMO");
    image_set_entry(image, 1, entry);
    entry.name = petscii_name("DEMO", 0);
    image_set_entry(image, 2, entry);
    entry.name = petscii_name("-S", 0);
    image_set_entry(image, 3, entry);
    entry.name = petscii_name("A\xA0"
                              "B");
    image_set_entry(image, 4, entry);
    return image;
}

} // namespace

TEST_F(cli, unusable_command_lines_print_usage) {
    const std::string image = save(image_formatted(35, false), "x.d64");
    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {image, "-w"}, {"-f"}, {"-f", "pattern"}, {"-b", image, image}}) {
        const run_result result = run(args);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, banner + usage_text() + "\n");
    }
}

TEST_F(cli, options_look_only_at_their_second_character) {
    const std::string image = save(image_formatted(35, false), "x.d64");
    const std::string listing = "0 .\"test disk       \" 01 2a\n664 blocks free.\n";
    struct row {
        std::vector<std::string> args;
        std::string out_prefix;
    };
    const row rows[] = {
        {{"-bw", image}, "Track  Used    Allocation status\n   1    0/21"},
        {{"-x", "-d", "-", image}, listing},
        {{"-f", "pat", "-b", image}, "Track  Used    Allocation status\n"},
        {{"-b", "-d", image}, "Track  Used    Allocation status\n"},
        {{"-b", "-f", "*", image}, "Match: \"\"\n"},
        {{"-wide", "-s", image}, "Disk name           Disk id  Free blocks\n"},
    };
    for (const row& r : rows) {
        const run_result result = run(r.args);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.err, banner + "\n\n");
        EXPECT_EQ(result.out.substr(0, r.out_prefix.size()), r.out_prefix) << r.args[0];
    }
}

TEST_F(cli, search_matches_converted_names_and_reports_the_first) {
    const std::string image = save(search_image(), "s.d64");
    const std::string padded = "Match: \"demo            \"\n";
    struct row {
        std::string pattern, out;
    };
    const row rows[] = {
        {"demo*", padded},
        {"DEMO*", padded},
        {"d?mo*", padded},
        {"demo", "Match: \"demo\"\n"},
        {"-s", "Match: \"-s\"\n"},
        {"a?b*", "Match: \"a b             \"\n"},
        {"ab*", ""},
        {"nothing", ""},
    };
    for (const row& r : rows) {
        const run_result result = run({"-f", r.pattern, image});
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.out, r.out) << r.pattern;
        EXPECT_EQ(result.err, banner + "\n\n");
    }
    // A directory sector linking to itself: the search gives up after 144 slots.
    test_image looping = search_image();
    image_link(looping, {18, 1}, 18, 1);
    const run_result result = run({"-f", "x*", save(looping, "loop.d64")});
    EXPECT_EQ(result.status, 0); // -2 would mean it never ended
    EXPECT_EQ(result.out, "");
}

TEST_F(cli, path_failures_are_reported_in_their_own_words) {
    save_bytes(std::string(174847, '\0'), "short.d64");
    struct row {
        std::string path, err;
        int status;
    };
    const row rows[] = {
        {(dir / "missing.d64").string(), "Cannot open input file or folder\n", 1},
        {"", "Cannot open input file or folder\n", 1},
        {(dir / "short.d64" / "x").string(), "Cannot open input file or folder\n", 1},
        {(dir / "short.d64").string(), "Input file not recognized as a supported D64 image\n", 1},
        {"/dev/null", "Input file not recognized as a supported D64 image\n", 1},
    };
    for (const row& r : rows) {
        const run_result result = run({r.path});
        EXPECT_EQ(result.status, r.status) << r.path;
        EXPECT_EQ(result.out, "") << r.path;
        EXPECT_EQ(result.err, banner + "\n" + r.err + "\n") << r.path;
    }
}

TEST_F(cli, folder_processes_only_d64_and_D64_names_and_counts_failures) {
    const test_image image = image_formatted(35, false, "F", "01");
    for (const char* name : {"a.d64", "b.D64", "c.D64.bak", ".hidden.d64", "d.d64x", "e.D64x",
                             "f.d64.D64x", "g.Dd64", "h.d64.", "noext"}) {
        save(image, name);
    }
    save_bytes("too short", "bad1.d64");
    save_bytes("", "bad2.D64");
    const run_result result = run({"-f", "*", dir.string()});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, banner + "\n" +
                              "Input file not recognized as a supported D64 image\n"
                              "Input file not recognized as a supported D64 image\n\n");
    const std::string head = "Processing all D64 files in \"" + dir.string() + "\"\n";
    ASSERT_EQ(result.out.substr(0, head.size()), head);
    // The folder's own order decides the sequence; each image is announced once.
    const std::string match = "Match: \"\"\n"; // "*" matches the first, empty slot
    std::vector<std::string> blocks;
    std::string rest = result.out.substr(head.size());
    for (size_t at = rest.find("\nParsing: "); at != std::string::npos;) {
        const size_t next = rest.find("\nParsing: ", at + 1);
        blocks.push_back(rest.substr(at, next == std::string::npos ? next : next - at));
        at = next;
    }
    std::sort(blocks.begin(), blocks.end());
    const std::vector<std::string> expected = {
        "\nParsing: \"a.d64\"\n" + match, "\nParsing: \"b.D64\"\n" + match,
        "\nParsing: \"bad1.d64\"\n", "\nParsing: \"bad2.D64\"\n"};
    EXPECT_EQ(blocks, expected);
}

TEST_F(cli, empty_folder_and_exit_status_capped_at_255) {
    const run_result empty = run({dir.string()});
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.out, "Processing all D64 files in \"" + dir.string() + "\"\n");
    for (int i = 0; i < 256; ++i) {
        save_bytes("", "bad" + std::to_string(i) + ".d64");
    }
    EXPECT_EQ(run({dir.string()}).status, 255);
    fs::remove(dir / "bad0.d64");
    EXPECT_EQ(run({dir.string()}).status, 255);
    fs::remove(dir / "bad1.d64");
    EXPECT_EQ(run({dir.string()}).status, 254);
}
