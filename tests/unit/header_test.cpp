#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

uint8_t* header(test_image& image) {
    return image_sector(image, {18, 0});
}

} // namespace

TEST(header, name_and_id_come_raw_from_a_header_linking_to_18_1) {
    test_image image = image_formatted(35, false, "GAMES", "AB");
    const disk_ptr disk = open_disk(image);
    char name[17];
    char id[6];
    ASSERT_TRUE(d64_get_disk_name(disk.get(), name));
    ASSERT_TRUE(d64_get_disk_id(disk.get(), id));
    EXPECT_EQ(std::string(name), "GAMES\xA0\xA0\xA0\xA0\xA0\xA0\xA0\xA0\xA0\xA0\xA0");
    EXPECT_EQ(std::string(id), "AB\xA0"
                               "2A");

    header(image)[1] = 4; // still names track 18, but not sector 1
    EXPECT_FALSE(d64_get_disk_name(disk.get(), name));
    EXPECT_FALSE(d64_get_disk_id(disk.get(), id));
    EXPECT_STREQ(name, "????????????????");
    EXPECT_STREQ(id, "?????");
    EXPECT_FALSE(d64_get_disk_name(nullptr, name));
}

TEST(header, zero_image_is_all_allocated_with_nothing_free) {
    const test_image image = image_blank(35, false);
    const disk_ptr disk = open_disk(image);
    int32_t free_total = -1;
    uint8_t code = 0;
    ASSERT_TRUE(d64_count_free_sectors(disk.get(), &free_total));
    EXPECT_EQ(free_total, 0);
    EXPECT_TRUE(d64_is_sector_allocated(disk.get(), 1, 0));
    EXPECT_TRUE(d64_is_sector_allocated(disk.get(), 35, 16));
    ASSERT_TRUE(d64_get_sector_error_info(disk.get(), 18, 0, &code));
    EXPECT_EQ(code, 1);
    EXPECT_FALSE(d64_count_free_sectors(disk.get(), nullptr));
    EXPECT_FALSE(d64_get_sector_error_info(disk.get(), 1, 0, nullptr));
}

TEST(header, bam_bits_and_free_counts) {
    test_image image = image_formatted(35, false);
    const disk_ptr disk = open_disk(image);
    int32_t free_total = 0;
    // Track 18 never counts: 357 + 114 + 108 + 85 with its two used sectors left out.
    ASSERT_TRUE(d64_count_free_sectors(disk.get(), &free_total));
    EXPECT_EQ(free_total, 664);

    image_set_bam_entry(image, 1, 21, 0x1FFFFF);
    EXPECT_FALSE(d64_is_sector_allocated(disk.get(), 1, 8));
    header(image)[6] &= 0xFE; // bit 0 of entry byte 2 is sector 8
    EXPECT_TRUE(d64_is_sector_allocated(disk.get(), 1, 8));
    EXPECT_FALSE(d64_is_sector_allocated(disk.get(), 1, 7));
    EXPECT_FALSE(d64_is_sector_allocated(disk.get(), 1, 9));
    EXPECT_FALSE(d64_is_sector_allocated(nullptr, 1, 8));
}

// Tracks 36-40 have a BAM only in the layout the disk follows; 41 and 42 never do.
// Without one those tracks are all allocated and add nothing to the free total.
TEST(header, extended_tracks_read_their_bam_in_the_disk_layout) {
    struct row {
        const char* what;
        int tracks;
        int offset; // where the entries of tracks 36-40 are written, 0 for nowhere
        int32_t free_total;
        uint8_t track_36_free;
        bool sector_36_1_allocated;
    };
    const row rows[] = {
        {"40 tracks, no layout, a name over 144-163", 40, 0, 664, 0, true},
        {"42 tracks, no layout", 42, 0, 664, 0, true},
        {"40 tracks, speeddos", 40, 0xC0, 664 + 5 * 2, 2, false},
        {"42 tracks, dolphindos", 42, 0xAC, 664 + 5 * 2, 2, false},
        {"42 tracks, prologic", 42, 0x90, 664 + 5 * 2, 2, false},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        test_image image = image_formatted(r.tracks, false, "SOME LONG NAME!!");
        for (int i = 0; r.offset != 0 && i < 5; ++i) {
            uint8_t* entry = header(image) + r.offset + 4 * i;
            entry[0] = 2;
            entry[1] = 0x02; // sectors 1 and 8 free
            entry[2] = 0x01;
            entry[3] = 0;
        }
        const disk_ptr disk = open_disk(image);
        int32_t free_total = 0;
        ASSERT_TRUE(d64_count_free_sectors(disk.get(), &free_total));
        EXPECT_EQ(free_total, r.free_total);
        uint8_t count = 99;
        ASSERT_TRUE(d64_get_track_free_count(disk.get(), 36, &count));
        EXPECT_EQ(count, r.track_36_free);
        EXPECT_TRUE(d64_is_sector_allocated(disk.get(), 36, 0));
        EXPECT_EQ(d64_is_sector_allocated(disk.get(), 36, 1), r.sector_36_1_allocated);
        if (r.tracks == 42) {
            ASSERT_TRUE(d64_get_track_free_count(disk.get(), 42, &count));
            EXPECT_EQ(count, 0);
            EXPECT_TRUE(d64_is_sector_allocated(disk.get(), 41, 1));
        }
    }
}

TEST(header, error_codes_come_from_the_block_after_the_sectors) {
    test_image image = image_blank(35, true);
    image_set_error(image, {18, 0}, 0x17);
    image_set_error(image, {35, 16}, 0);
    const disk_ptr disk = open_disk(image);
    EXPECT_EQ(image.bytes[174848 + 357], 0x17);
    uint8_t code = 0;
    ASSERT_TRUE(d64_get_sector_error_info(disk.get(), 18, 0, &code));
    EXPECT_EQ(code, 0x17);
    ASSERT_TRUE(d64_get_sector_error_info(disk.get(), 35, 16, &code));
    EXPECT_EQ(code, 0);
    ASSERT_TRUE(d64_get_sector_error_info(disk.get(), 1, 0, &code));
    EXPECT_EQ(code, 1);
}

// Free counts and bitmaps of the formats that keep them outside the D64 places.
TEST(header, d71_and_d81_bam_entries) {
    test_image d71 = image_formatted_as(disk_format::d71, false, "SIDES", "S2");
    test_image d81 = image_formatted_as(disk_format::d81, false, "BIG", "B8");
    struct row {
        const char* what;
        test_image& image;
        track_sector at;
        int total; // blocks free after allocating `at`
        size_t free_count_byte;
    };
    const size_t d71_header = 256 * 357;
    const size_t d81_bam = 256 * (39 * 40 + 1);
    const row rows[] = {
        {"d71 side 1", d71, {1, 3}, 1327, d71_header + 4},
        // Side 2: free counts at 18/0 from 0xDD, bitmaps on 53/0.
        {"d71 side 2", d71, {36, 20}, 1326, d71_header + 0xDD},
        {"d71 last track", d71, {70, 16}, 1325, d71_header + 0xFF},
        // Track 53 is left out of the free blocks like track 18.
        {"d71 bam track", d71, {53, 5}, 1325, d71_header + 0xDD + 17},
        {"d81 first", d81, {1, 39}, 3159, d81_bam + 0x10},
        {"d81 track 41 on 40/2", d81, {41, 8}, 3158, d81_bam + 256 + 0x10},
        {"d81 directory track", d81, {40, 10}, 3158, d81_bam + 0x10 + 6 * 39},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        const disk_ptr disk = open_disk(r.image);
        EXPECT_FALSE(d64_is_sector_allocated(disk.get(), r.at.track, r.at.sector));
        const uint8_t before = r.image.bytes[r.free_count_byte];
        image_allocate(r.image, r.at);
        EXPECT_EQ(r.image.bytes[r.free_count_byte], before - 1);
        EXPECT_TRUE(d64_is_sector_allocated(disk.get(), r.at.track, r.at.sector));
        EXPECT_FALSE(d64_is_sector_allocated(disk.get(), r.at.track, r.at.sector - 1));
        uint8_t count = 0;
        ASSERT_TRUE(d64_get_track_free_count(disk.get(), r.at.track, &count));
        EXPECT_EQ(count, before - 1);
        int32_t total = 0;
        ASSERT_TRUE(d64_count_free_sectors(disk.get(), &total));
        EXPECT_EQ(total, r.total);
    }
    // Name and id: at 18/0 on a D71, at 40/0 bytes 4 and 0x16 on a D81 ("3D" its DOS type).
    const disk_ptr disk81 = open_disk(d81);
    char name[17];
    char id[6];
    ASSERT_TRUE(d64_get_disk_name(disk81.get(), name));
    ASSERT_TRUE(d64_get_disk_id(disk81.get(), id));
    EXPECT_EQ(std::string(name, 3), "BIG");
    EXPECT_EQ(std::string(id), "B8\xA0"
                               "3D");
    image_sector(d81, {40, 0})[1] = 1; // must link to 40/3
    EXPECT_FALSE(d64_get_disk_name(disk81.get(), name));
}

TEST(header, d71_side_2_free_counts_fall_back_to_track_53) {
    test_image image = image_formatted_as(disk_format::d71, false);
    uint8_t* header18 = image_sector(image, {18, 0});
    uint8_t* bam53 = image_sector(image, {53, 0});
    for (int i = 0; i < 35; ++i) {
        bam53[0xDD + i] = static_cast<uint8_t>(i); // where some writers put them
    }
    const disk_ptr disk = open_disk(image);
    uint8_t count = 0;
    d64_get_track_free_count(disk.get(), 37, &count);
    EXPECT_EQ(count, 21); // 18/0 holds counts: they win
    std::fill(header18 + 0xDD, header18 + 0x100, 0);
    d64_get_track_free_count(disk.get(), 37, &count);
    EXPECT_EQ(count, 1);
    int32_t total = 0;
    d64_count_free_sectors(disk.get(), &total);
    EXPECT_EQ(total, 664 + (0 + 34) * 35 / 2 - 17); // tracks 36-70 but 53
}

TEST(header, bam_layout_of_forty_track_d64s) {
    struct row {
        const char* what;
        int tracks;
        std::vector<int> offsets; // entries written for tracks 36-40
        bool consistent;
        d64_bam_layout layout;
        int32_t free_blocks; // -1: untouched
    };
    const row rows[] = {
        {"35 tracks", 35, {}, true, D64_BAM_LAYOUT_NONE, -1},
        {"speeddos", 40, {0xC0}, true, D64_BAM_LAYOUT_SPEEDDOS, 664 + 5 * 17},
        {"dolphindos", 40, {0xAC}, true, D64_BAM_LAYOUT_DOLPHINDOS, 664 + 5 * 17},
        {"nothing written", 40, {}, true, D64_BAM_LAYOUT_UNKNOWN, -1},
        {"two layouts fit", 40, {0xC0, 0xAC}, true, D64_BAM_LAYOUT_UNKNOWN, -1},
        {"count disagrees with bitmap", 40, {0xC0}, false, D64_BAM_LAYOUT_UNKNOWN, -1},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        test_image image = image_formatted(r.tracks, false);
        for (int offset : r.offsets) {
            for (int i = 0; i < 5; ++i) {
                uint8_t* entry = image_sector(image, {18, 0}) + offset + 4 * i;
                entry[0] = r.consistent ? 17 : 16;
                entry[1] = entry[2] = 0xFF;
                entry[3] = 0x01;
            }
        }
        const disk_ptr disk = open_disk(image);
        d64_bam_layout layout = D64_BAM_LAYOUT_PROLOGIC;
        int32_t free_blocks = -1;
        ASSERT_TRUE(d64_detect_bam_layout(disk.get(), &layout, &free_blocks));
        EXPECT_EQ(layout, r.layout);
        EXPECT_EQ(free_blocks, r.free_blocks);
    }
    // The 144-171 layout: a disk named with bytes that read as consistent entries.
    test_image prologic = image_formatted(42, false);
    for (int track = 36; track <= 42; ++track) {
        image_set_bam_entry(prologic, track, 2, 0x000300);
    }
    const disk_ptr disk = open_disk(prologic);
    d64_bam_layout layout = D64_BAM_LAYOUT_NONE;
    int32_t free_blocks = 0;
    d64_detect_bam_layout(disk.get(), &layout, &free_blocks);
    EXPECT_EQ(layout, D64_BAM_LAYOUT_PROLOGIC);
    EXPECT_EQ(free_blocks, 664 + 5 * 2); // tracks 41 and 42 have no BAM in any layout
}
