#include "test_support.h"

#include <gtest/gtest.h>

#include <vector>

TEST(geometry, recognises_every_accepted_length_and_nothing_near_it) {
    struct row {
        uint64_t size;
        int tracks; // 0: not recognised
        uint64_t error_info_size;
    };
    const row rows[] = {
        {174848, 35, 0},
        {175531, 35, 683},
        {179200, 36, 0},
        {179900, 36, 700},
        {183552, 37, 0},
        {184269, 37, 717},
        {187904, 38, 0},
        {188638, 38, 734},
        {192256, 39, 0},
        {193007, 39, 751},
        {196608, 40, 0},
        {197376, 40, 768},
        {200960, 41, 0},
        {201745, 41, 785},
        {205312, 42, 0},
        {206114, 42, 802},
        {174847, 0, 0},
        {174849, 0, 0},
        {175530, 0, 0},
        {175532, 0, 0},
        {206115, 0, 0},
        {256, 0, 0},
        {1 << 20, 0, 0},
        // One track fewer or more than a 1541 image can have, with and without error codes.
        {170496, 0, 0},
        {171162, 0, 0},
        {209664, 0, 0},
        {210483, 0, 0},
    };
    const std::vector<uint8_t> bytes(1 << 20);
    for (const row& r : rows) {
        d64_disk* disk = reinterpret_cast<d64_disk*>(0x1);
        const bool ok = d64_init_disk(&disk, bytes.data(), r.size);
        ASSERT_EQ(ok, r.tracks != 0) << r.size;
        if (!ok) {
            EXPECT_EQ(disk, reinterpret_cast<d64_disk*>(0x1)) << "handle written for " << r.size;
            continue;
        }
        EXPECT_EQ(disk->image, bytes.data());
        EXPECT_EQ(disk->track_count, r.tracks);
        EXPECT_EQ(disk->sector_data_size, r.size - r.error_info_size);
        EXPECT_EQ(disk->error_info_size, r.error_info_size);
        std::free(disk);
    }
}

TEST(geometry, empty_or_null_buffer_is_not_an_image) {
    const uint8_t byte = 0;
    d64_disk* disk = nullptr;
    EXPECT_FALSE(d64_init_disk(&disk, &byte, 0));
    EXPECT_FALSE(d64_init_disk(&disk, nullptr, 174848));
    EXPECT_EQ(disk, nullptr);
}

TEST(geometry, track_and_sector_validity_follows_the_zones) {
    const test_image image35 = image_blank(35, false);
    const test_image image40 = image_blank(40, false);
    const disk_ptr d35 = open_disk(image35);
    const disk_ptr d40 = open_disk(image40);
    struct row {
        const d64_disk* disk;
        int track, sector;
        bool valid;
    };
    const row rows[] = {
        {d35.get(), 1, 0, true},    {d35.get(), 1, 20, true},   {d35.get(), 1, 21, false},
        {d35.get(), 17, 20, true},  {d35.get(), 18, 18, true},  {d35.get(), 18, 19, false},
        {d35.get(), 24, 18, true},  {d35.get(), 25, 17, true},  {d35.get(), 25, 18, false},
        {d35.get(), 30, 17, true},  {d35.get(), 31, 17, false}, {d35.get(), 35, 16, true},
        {d35.get(), 35, 17, false}, {d35.get(), 36, 0, false},  {d35.get(), 0, 0, false},
        {d35.get(), 1, -1, false},  {d35.get(), -1, 0, false},  {d35.get(), 256, 0, false},
        {d40.get(), 36, 16, true},  {d40.get(), 36, 17, false}, {d40.get(), 40, 16, true},
        {d40.get(), 41, 0, false},  {nullptr, 1, 0, false},
    };
    for (const row& r : rows) {
        EXPECT_EQ(d64_are_track_and_sector_valid(r.disk, r.track, r.sector), r.valid)
            << r.track << "/" << r.sector;
    }
}
