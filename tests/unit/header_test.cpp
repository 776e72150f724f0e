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

TEST(header, extended_tracks_read_their_bam_from_the_name_area) {
    test_image image = image_formatted(40, false);
    const uint8_t counts[] = {65, 66, 67, 68, 160};
    for (int i = 0; i < 5; ++i) {
        header(image)[144 + 4 * i] = counts[i];
    }
    header(image)[4 * 36 + 1] = 0x02; // track 36, sector 1 free
    const disk_ptr disk = open_disk(image);
    int32_t free_total = 0;
    ASSERT_TRUE(d64_count_free_sectors(disk.get(), &free_total));
    EXPECT_EQ(free_total, 664 + 65 + 66 + 67 + 68 + 160);
    EXPECT_TRUE(d64_is_sector_allocated(disk.get(), 36, 0));
    EXPECT_FALSE(d64_is_sector_allocated(disk.get(), 36, 1));
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
