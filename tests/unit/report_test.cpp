#include "test_support.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

std::string listing(const test_image& image, bool scratched, bool wide) {
    const disk_ptr disk = open_disk(image);
    return capture_stream([&](FILE* stream) {
        EXPECT_TRUE(d64_dump_directory_contents(disk.get(), scratched, wide, stream));
    });
}

std::string bam(const test_image& image, bool errors) {
    const disk_ptr disk = open_disk(image);
    return capture_stream(
        [&](FILE* stream) { EXPECT_TRUE(d64_dump_bam_contents(disk.get(), errors, stream)); });
}

void set_entry(test_image& image, int slot, uint8_t type, std::string_view name, uint16_t blocks,
               track_sector first = {0, 0}) {
    test_entry entry;
    entry.type = type;
    entry.name = petscii_name(name);
    entry.blocks = blocks;
    entry.first = first;
    image_set_entry(image, slot, entry);
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Slots that exercise the type columns: closed, unclosed, locked, del, invalid, scratched.
test_image typed_slots() {
    test_image image = image_formatted(35, false);
    set_entry(image, 0, 0x82, "DEMO", 1234);
    set_entry(image, 1, 0x00, "GONE", 3);
    set_entry(image, 2, 0x02, "OPEN", 7);
    set_entry(image, 3, 0xC2, "LOCKED", 12);
    set_entry(image, 4, 0x42, "BOTH", 999);
    set_entry(image, 5, 0x80, "SEP", 0);
    set_entry(image, 6, 0x45, "ODD", 1);
    return image; // slot 7 stays empty
}

} // namespace

TEST(directory_listing, narrow_form_columns) {
    const std::string expected_files = "234  \"demo\"             prg \n"
                                       "7    \"open\"            *prg \n"
                                       "12   \"locked\"           prg<\n"
                                       "999  \"both\"            *prg<\n"
                                       "0    \"sep\"              del \n"
                                       "???  ?????????????????? ??? \n";
    const std::string header = "0 .\"test disk       \" 01 2a\n";
    EXPECT_EQ(listing(typed_slots(), false, false), header + expected_files + "664 blocks free.\n");

    const std::string with_scratched = listing(typed_slots(), true, false);
    const auto lines = lines_of(with_scratched);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[2], "3    \"gone\"             scr ");
    for (size_t i = 1; i < 8; ++i) {
        EXPECT_EQ(lines[i].size(), 28u) << lines[i];
    }
}

TEST(directory_listing, scratched_names_of_every_length_are_listed_on_request) {
    struct row {
        std::string_view name;
        std::string line;
    };
    const row rows[] = {
        {"G", "5    \"g\"                scr "},
        {"ABCDEFGHIJKLMNO", "5    \"abcdefghijklmno\"  scr "},
        {"ABCDEFGHIJKLMNOP", "5    \"abcdefghijklmnop\" scr "},
    };
    for (const row& r : rows) {
        test_image image = image_formatted(35, false);
        set_entry(image, 0, 0x00, r.name, 5);
        const auto shown = lines_of(listing(image, true, false));
        ASSERT_EQ(shown.size(), 3u) << r.name;
        EXPECT_EQ(shown[1], r.line);
        EXPECT_EQ(lines_of(listing(image, false, false)).size(), 2u) << r.name;
    }
}

TEST(directory_listing, empty_directory_and_broken_header) {
    test_image image = image_formatted(35, false, "", "");
    set_entry(image, 0, 0x00, "", 0);
    const std::string expected = "0 .\"                \"    2a\n664 blocks free.\n";
    EXPECT_EQ(listing(image, false, false), expected);
    EXPECT_EQ(listing(image, true, false), expected);
    image_sector(image, {18, 0})[0] = 17;
    EXPECT_EQ(lines_of(listing(image, false, false))[0], "0 .\"????????????????\" ?????");
}

TEST(directory_listing, wide_form_verifies_prg_chains) {
    test_image image = image_formatted(35, false);
    image_add_file(image, 0, 0x82, "ABC", {'a', 'b', 'c'});
    set_entry(image, 1, 0x82, "BAD", 2); // first sector 0/0: no chain at all
    set_entry(image, 2, 0x00, "OLD", 4); // scratched
    image_add_file(image, 3, 0x81, "TEXT", {'x'});
    const auto chain = image_add_file(image, 4, 0x02, "LONG", std::vector<uint8_t>(300, 'a'));
    set_entry(image, 4, 0x02, "LONG", 1234, chain.front()); // directory claims 234 after modulo
    set_entry(image, 5, 0x45, "ODD", 1);
    const std::string expected =
        "Disk name           Disk id  Free blocks\n"
        "\"test disk       \"  \"01 2a\"      660\n\n"
        "Seq  Size File name          Type  Blks  MD5 hash\n"
        "1    1    \"abc\"              prg    1    900150983cd24fb0d6963f7d28e17f72\n"
        "2    2    \"bad\"              prg   *???  [ failed to scan the t/s chain ]\n"
        "4    \"old\"              scr \n"
        "4    1    \"text\"             seq \n"
        "5    234  \"long\"            *prg   *2    4e5475d125a33c6190718e75adc1b704\n"
        "???  ?????????????????? ??? \n";
    EXPECT_EQ(listing(image, true, true), expected);
}

TEST(directory_listing, sequence_counts_slots_and_walk_stops_at_144) {
    test_image image = image_formatted(35, false);
    set_entry(image, 2, 0x82, "THIRD", 0);
    EXPECT_EQ(lines_of(listing(image, false, true))[4].substr(0, 5), "3    ");
    // The last directory sector links back to the first: only 144 slots are listed.
    for (int slot = 0; slot < 144; ++slot) {
        set_entry(image, slot, 0x81, "F", 1);
    }
    image_link(image, image_directory_sector(143), 18, 1);
    EXPECT_EQ(lines_of(listing(image, false, false)).size(), 146u);
    EXPECT_EQ(lines_of(listing(image, false, true)).back().substr(0, 5), "144  ");
}

TEST(bam_report, fresh_disk_has_only_the_directory_allocated) {
    const auto lines = lines_of(bam(image_formatted(35, true), false));
    ASSERT_EQ(lines.size(), 37u);
    const std::pair<size_t, std::string> expected[] = {
        {0, "Track  Used    Allocation status"},      {1, "   1    0/21   ....................."},
        {17, "  17    0/21   ....................."}, {18, "  18    2/19   **.................  "},
        {24, "  24    0/19   ...................  "}, {25, "  25    0/18   ..................   "},
        {30, "  30    0/18   ..................   "}, {31, "  31    0/17   .................    "},
        {35, "  35    0/17   .................    "}, {36, "Totals:                    0/  2/683"},
    };
    for (const auto& [index, line] : expected) {
        EXPECT_EQ(lines[index], line);
    }
    test_image no_errors = image_formatted(35, false);
    EXPECT_EQ(bam(no_errors, true), bam(no_errors, false));
}

TEST(bam_report, error_maps_and_totals) {
    test_image image = image_formatted(35, true);
    image_allocate(image, {1, 0});
    image_allocate(image, {1, 2});
    const std::pair<int, uint8_t> codes[] = {{0, 0}, {1, 11}, {2, 16}, {3, 255}, {4, 1}, {5, 2}};
    for (const auto& [sector, code] : codes) {
        image_set_error(image, {1, sector}, code);
    }
    image_set_bam_entry(image, 2, 255, 0); // fully allocated, yet an absurd free count
    const auto lines = lines_of(bam(image, true));
    ASSERT_EQ(lines.size(), 37u);
    EXPECT_EQ(lines[0], "Track  Used    Allocation status      Error info             Allocated "
                        "with error");
    EXPECT_EQ(lines[1], "   1    2/21   *.*..................  0bII.2...............  "
                        "*.*..................");
    EXPECT_EQ(lines[2], "   2   21/21   *********************  .....................  "
                        ".....................");
    // 683 - (664 - 2 - 21 + 255) - 19 = -232 from the free counts; 25 allocation bits set.
    EXPECT_EQ(lines[36], "Totals:                 -232/ 25/683                      5"
                         "                      2");
}

// Without a layout for their BAM, tracks 36-40 are all allocated and free nothing:
// 768 - 664 - 19 = 85 from the free counts, 2 + 5 * 17 allocation bits set.
TEST(bam_report, forty_tracks) {
    const auto lines = lines_of(bam(image_formatted(40, false), false));
    ASSERT_EQ(lines.size(), 42u);
    EXPECT_EQ(lines[36], "  36   17/17   " + std::string(17, '*') + "    ");
    EXPECT_EQ(lines[40].substr(0, 4), "  40");
    EXPECT_EQ(lines[41], "Totals:                   85/ 87/768");
}

TEST(directory_listing, d81_directory_runs_over_its_sectors_and_lists_partitions) {
    test_image image = image_formatted_as(disk_format::d81, false, "BIG DISK", "B8");
    for (int slot = 0; slot < 9; ++slot) { // slot 8 opens the second sector, 40/4
        image_add_file(image, slot, 0x82, "F" + std::to_string(slot), {uint8_t(slot)});
    }
    set_entry(image, 9, 0x85, "PART", 120, {41, 0}); // 120 sectors from 41/0, no chain
    const auto narrow = lines_of(listing(image, false, false));
    ASSERT_EQ(narrow.size(), 12u);
    EXPECT_EQ(narrow[0], "0 .\"big disk        \" b8 3d");
    EXPECT_EQ(narrow[9], "1    \"f8\"               prg ");
    EXPECT_EQ(narrow[10], "120  \"part\"             cbm ");
    EXPECT_EQ(narrow[11], "3151 blocks free."); // 3160 less the files' 9; track 40 not counted
    const auto wide = lines_of(listing(image, false, true));
    EXPECT_EQ(wide[13], "10   120  \"part\"             cbm ");

    // A directory chain that loops back to 40/3 ends after the 296 slots of track 40.
    for (int slot = 0; slot < 296; ++slot) {
        set_entry(image, slot, 0x81, "S", 1);
    }
    image_link(image, {40, 39}, 40, 3);
    EXPECT_EQ(lines_of(listing(image, false, false)).size(), 298u);
    // The same type code on a D64 is no partition.
    test_image d64 = image_formatted(35, false);
    set_entry(d64, 0, 0x85, "PART", 120, {1, 0});
    EXPECT_EQ(lines_of(listing(d64, false, false))[1], "???  ?????????????????? ??? ");
}

TEST(directory_listing, d71_files_on_side_2) {
    test_image image = image_formatted_as(disk_format::d71, false, "SIDES", "S2");
    image_add_file(image, 0, 0x82, "ABC", {'a', 'b', 'c'}, {36, 0});
    image_add_file(image, 1, 0x81, "LONG", std::vector<uint8_t>(300, 'a'), {70, 0});
    const std::string expected =
        "Disk name           Disk id  Free blocks\n"
        "\"sides           \"  \"s2 2a\"      1325\n\n"
        "Seq  Size File name          Type  Blks  MD5 hash\n"
        "1    1    \"abc\"              prg    1    900150983cd24fb0d6963f7d28e17f72\n"
        "2    2    \"long\"             seq \n";
    EXPECT_EQ(listing(image, false, true), expected);
}

// The maps are as wide as the format's longest track; the error columns, their
// heading words and the totals' error counts move with them.
TEST(bam_report, d71_and_d81_maps_with_errors_on_every_side) {
    const auto dots = [](int n) { return std::string(static_cast<size_t>(n), '.'); };
    const auto spaces = [](int n) { return std::string(static_cast<size_t>(n), ' '); };
    test_image d71 = image_formatted_as(disk_format::d71, true);
    image_allocate(d71, {1, 0});
    image_set_error(d71, {1, 0}, 5);
    image_set_error(d71, {70, 16}, 0x0B);
    const auto lines71 = lines_of(bam(d71, true));
    ASSERT_EQ(lines71.size(), 72u);
    EXPECT_EQ(lines71[0], "Track  Used    Allocation status      Error info             Allocated "
                          "with error");
    EXPECT_EQ(lines71[36], "  36    0/21   " + dots(21) + "  " + dots(21) + "  " + dots(21));
    EXPECT_EQ(lines71[53],
              "  53    1/19   *" + dots(18) + "    " + dots(19) + "    " + dots(19) + "  ");
    EXPECT_EQ(lines71[70], "  70    0/17   " + dots(17) + spaces(6) + dots(16) + "b" + spaces(6) +
                               dots(17) + spaces(4));
    // 1366 - (1328 - 1) - 38 = 1 from the free counts; 18/0, 18/1, 53/0 and 1/0 allocated.
    EXPECT_EQ(lines71[71],
              "Totals:                    1/  4/1366" + spaces(21) + "2" + spaces(22) + "1");

    test_image d81 = image_formatted_as(disk_format::d81, true);
    image_allocate(d81, {1, 0});
    image_set_error(d81, {1, 0}, 5);
    image_set_error(d81, {80, 39}, 3);
    const auto lines81 = lines_of(bam(d81, true));
    ASSERT_EQ(lines81.size(), 82u);
    // "Error info" at column 16 + 40 + 2, "Allocated with error" at 16 + 80 + 4.
    EXPECT_EQ(lines81[0], "Track  Used    Allocation status" + spaces(25) + "Error info" +
                              spaces(32) + "Allocated with error");
    EXPECT_EQ(lines81[1], "   1    1/40   *" + dots(39) + "  5" + dots(39) + "  *" + dots(39));
    EXPECT_EQ(lines81[40], "  40    4/40   ****" + dots(36) + "  " + dots(40) + "  " + dots(40));
    EXPECT_EQ(lines81[80], "  80    0/40   " + dots(40) + "  " + dots(39) + "3  " + dots(40));
    // 3200 - 3159 - 40 = 1; the error counts end in columns 97 and 139.
    EXPECT_EQ(lines81[81],
              "Totals:                    1/  5/3200" + spaces(59) + "2" + spaces(41) + "1");
    EXPECT_EQ(lines81[81].size(), 139u);
    EXPECT_EQ(lines81[1].size(), 139u);
}

// A 1541 listing shows block counts modulo 1000 in its three columns; the larger
// disks, whose files may have 1000 blocks and more, show the whole count, the line
// widening for it, and the wide listing compares whole counts.
TEST(directory_listing, block_counts_of_a_thousand_and_more) {
    struct row {
        disk_format format;
        std::string narrow;
        std::string wide_start;
    };
    const row rows[] = {
        {disk_format::d81, "1575  \"huge\"             prg ",
         "1    1575  \"huge\"             prg    1575  "},
        {disk_format::d80, "1575  \"huge\"             prg ",
         "1    1575  \"huge\"             prg    1575  "},
        {disk_format::d71, "1575  \"huge\"             prg ",
         "1    1575  \"huge\"             prg   *1001  "},
        {disk_format::d64, "575  \"huge\"             prg ",
         "1    575  \"huge\"             prg   *401  "},
    };
    for (const row& r : rows) {
        test_image image = image_formatted_as(r.format, false);
        // As many sectors as the disk holds off the directory track, at most 1575.
        const int sectors = r.format == disk_format::d71   ? 1001
                            : r.format == disk_format::d64 ? 401
                                                           : 1575;
        const auto chain = image_add_file(image, 0, 0x82, "HUGE",
                                          std::vector<uint8_t>(254 * sectors, 'h'), {1, 0}, 1);
        ASSERT_EQ(chain.size(), static_cast<size_t>(sectors));
        set_entry(image, 0, 0x82, "HUGE", 1575, chain.front());
        SCOPED_TRACE(r.narrow);
        EXPECT_EQ(lines_of(listing(image, false, false))[1], r.narrow);
        const std::string wide = lines_of(listing(image, false, true))[4];
        EXPECT_EQ(wide.substr(0, r.wide_start.size()), r.wide_start);
        EXPECT_EQ(wide.size(), r.wide_start.size() + 32); // the MD5 ends the line
    }
}
