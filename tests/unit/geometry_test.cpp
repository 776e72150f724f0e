#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
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
        d64_close_disk(disk);
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

TEST(geometry, open_disk_recognises_each_format_and_init_disk_only_d64) {
    struct row {
        uint64_t size;
        int format; // -1: not recognised
        int tracks;
        uint64_t error_info_size;
    };
    const row rows[] = {
        {174848, D64_FORMAT_D64, 35, 0},
        {206114, D64_FORMAT_D64, 42, 802},
        {349696, D64_FORMAT_D71, 70, 0},
        {351062, D64_FORMAT_D71, 70, 1366},
        {819200, D64_FORMAT_D81, 80, 0},
        {822400, D64_FORMAT_D81, 80, 3200},
        {349695, -1, 0, 0},
        {351063, -1, 0, 0},
        {819201, -1, 0, 0},
        {822401, -1, 0, 0},
        {533248, D64_FORMAT_D80, 77, 0},
        {1066496, D64_FORMAT_D82, 154, 0},
        {533248 + 2083, -1, 0, 0}, // 8050 and 8250 images carry no error codes
        {1066496 + 4166, -1, 0, 0},
        {533247, -1, 0, 0},
        {1066497, -1, 0, 0},
    };
    const std::vector<uint8_t> bytes(1066496 + 4166);
    for (const row& r : rows) {
        SCOPED_TRACE(r.size);
        d64_disk* disk = nullptr;
        d64_format format = D64_FORMAT_G64; // untouched: no row is a G64
        ASSERT_EQ(d64_open_disk(&disk, bytes.data(), r.size, &format), r.format >= 0);
        if (r.format < 0) {
            EXPECT_EQ(disk, nullptr);
            EXPECT_EQ(format, D64_FORMAT_G64);
            continue;
        }
        EXPECT_EQ(format, r.format);
        EXPECT_EQ(disk->format, r.format);
        EXPECT_EQ(disk->track_count, r.tracks);
        EXPECT_EQ(disk->error_info_size, r.error_info_size);
        d64_close_disk(disk);
        disk = nullptr;
        EXPECT_EQ(d64_init_disk(&disk, bytes.data(), r.size), r.format == D64_FORMAT_D64);
        d64_close_disk(disk);
    }
}

// Each sector's error byte lies at its linear index: the builder and the library
// count the sectors of both sides of a D71 and the 40-sector tracks of a D81 alike.
TEST(geometry, sectors_of_d71_and_d81_tracks_and_their_places) {
    struct row {
        disk_format format;
        int track;
        int sectors; // 0: no such track
    };
    const row rows[] = {
        {disk_format::d71, 35, 17}, {disk_format::d71, 36, 21}, {disk_format::d71, 52, 21},
        {disk_format::d71, 53, 19}, {disk_format::d71, 59, 19}, {disk_format::d71, 60, 18},
        {disk_format::d71, 65, 18}, {disk_format::d71, 66, 17}, {disk_format::d71, 70, 17},
        {disk_format::d71, 71, 0},  {disk_format::d81, 1, 40},  {disk_format::d81, 40, 40},
        {disk_format::d81, 80, 40}, {disk_format::d81, 81, 0},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.track);
        test_image image = image_formatted_as(r.format, true);
        if (r.sectors != 0) {
            image_set_error(image, {r.track, r.sectors - 1}, 0x42);
        }
        const disk_ptr disk = open_disk(image);
        ASSERT_NE(disk, nullptr);
        EXPECT_EQ(d64_are_track_and_sector_valid(disk.get(), r.track, 0), r.sectors != 0);
        if (r.sectors == 0) {
            continue;
        }
        EXPECT_TRUE(d64_are_track_and_sector_valid(disk.get(), r.track, r.sectors - 1));
        EXPECT_FALSE(d64_are_track_and_sector_valid(disk.get(), r.track, r.sectors));
        uint8_t code = 0;
        d64_get_sector_error_info(disk.get(), r.track, r.sectors - 1, &code);
        EXPECT_EQ(code, 0x42);
        d64_get_sector_error_info(disk.get(), r.track, 0, &code);
        EXPECT_EQ(code, 1);
    }
}

// One row of the format table each: the geometry, the header and BAM places and the
// free count of an empty disk as its drive formats it, against builder-made images.
TEST(geometry, every_row_of_the_format_table) {
    struct row {
        disk_format format;
        int code;
        const char* name;
        int sectors, longest, directory_track, slots;
        std::vector<std::pair<int, int>> track_sectors; // zone edges
        int32_t empty_free;
        track_sector file_sector; // a sector a file takes: allocated, one fewer free
        uint64_t largest;         // the longest image of the format
        int drive;                // its description names the drive
        track_sector first_system; // the header's or the BAM's, whichever comes first
    };
    const row rows[] = {
        {disk_format::d64,
         D64_FORMAT_D64,
         "d64",
         683,
         21,
         18,
         144,
         {{17, 21}, {18, 19}, {24, 19}, {25, 18}, {31, 17}},
         664,
         {1, 0},
         206114,
         1541,
         {18, 0}},
        {disk_format::d71,
         D64_FORMAT_D71,
         "d71",
         1366,
         21,
         18,
         144,
         {{35, 17}, {36, 21}, {53, 19}, {70, 17}},
         1328,
         {60, 3},
         351062,
         1571,
         {18, 0}},
        {disk_format::d81,
         D64_FORMAT_D81,
         "d81",
         3200,
         40,
         40,
         296,
         {{1, 40}, {80, 40}},
         3160,
         {41, 0},
         822400,
         1581,
         {40, 0}},
        {disk_format::d80,
         D64_FORMAT_D80,
         "d80",
         2083,
         29,
         39,
         224,
         {{39, 29}, {40, 27}, {53, 27}, {54, 25}, {64, 25}, {65, 23}, {77, 23}},
         2052,
         {51, 2},
         533248,
         8050,
         {38, 0}},
        {disk_format::d82,
         D64_FORMAT_D82,
         "d82",
         4166,
         29,
         39,
         224,
         {{77, 23}, {78, 29}, {116, 29}, {117, 27}, {154, 23}},
         4133,
         {151, 22},
         1066496,
         8250,
         {38, 0}},
    };
    std::vector<int32_t> covered;
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        test_image image = image_formatted_as(r.format, false, "ROWS", "RW");
        const disk_ptr empty = open_disk(image);
        ASSERT_NE(empty, nullptr);
        EXPECT_EQ(empty->format, r.code);
        d64_format_info info{};
        ASSERT_TRUE(d64_get_format_info(empty.get(), &info));
        EXPECT_EQ(info.sector_count, r.sectors);
        EXPECT_EQ(info.longest_track, r.longest);
        EXPECT_EQ(info.directory_track, r.directory_track);
        EXPECT_EQ(info.max_directory_slots, r.slots);
        for (const auto& [track, sectors] : r.track_sectors) {
            EXPECT_TRUE(d64_are_track_and_sector_valid(empty.get(), track, sectors - 1)) << track;
            EXPECT_FALSE(d64_are_track_and_sector_valid(empty.get(), track, sectors)) << track;
        }
        int32_t free_blocks = 0;
        ASSERT_TRUE(d64_count_free_sectors(empty.get(), &free_blocks));
        EXPECT_EQ(free_blocks, r.empty_free);
        char name[17];
        char id[6];
        EXPECT_TRUE(d64_get_disk_name(empty.get(), name));
        EXPECT_TRUE(d64_get_disk_id(empty.get(), id));
        EXPECT_EQ(std::string(name, 4), "ROWS");
        EXPECT_EQ(std::string(id, 2), "RW");
        d64_format_facts facts{};
        ASSERT_TRUE(d64_get_format_facts(r.code, &facts));
        EXPECT_STREQ(facts.name, r.name);
        EXPECT_EQ(facts.largest_image, r.largest);
        EXPECT_EQ(facts.description, "Commodore " + std::to_string(r.drive));
        // The shape: the lengths the image has, its first system track, its empty count.
        d64_format_shape shape{};
        ASSERT_TRUE(d64_get_format_shape(r.code, &shape));
        EXPECT_EQ(shape.empty_free_blocks, r.empty_free);
        EXPECT_EQ(shape.signature, nullptr);
        uint64_t end = 0;
        ASSERT_TRUE(d64_get_track_offset(r.code, shape.max_tracks + 1, &end));
        EXPECT_EQ(end + (shape.error_bytes ? end / 256 : 0), r.largest);
        ASSERT_TRUE(d64_get_track_offset(r.code, shape.standard_tracks + 1, &end));
        EXPECT_EQ(end, image.bytes.size());
        uint64_t system = 0;
        ASSERT_TRUE(d64_get_track_offset(r.code, shape.first_system_track, &system));
        EXPECT_EQ(system,
                  static_cast<uint64_t>(image_sector(image, r.first_system) - image.bytes.data()));
        EXPECT_FALSE(d64_get_track_offset(r.code, shape.max_tracks + 2, &end));
        covered.push_back(r.code);

        // The BAM entry of the file's track, wherever the format keeps it.
        uint8_t before = 0;
        d64_get_track_free_count(empty.get(), r.file_sector.track, &before);
        EXPECT_FALSE(d64_is_sector_allocated(empty.get(), r.file_sector.track,
                                             r.file_sector.sector));
        image_allocate(image, r.file_sector);
        const disk_ptr used = open_disk(image);
        EXPECT_TRUE(
            d64_is_sector_allocated(used.get(), r.file_sector.track, r.file_sector.sector));
        uint8_t after = 0;
        d64_get_track_free_count(used.get(), r.file_sector.track, &after);
        EXPECT_EQ(after, before - 1);
        ASSERT_TRUE(d64_count_free_sectors(used.get(), &free_blocks));
        EXPECT_EQ(free_blocks, r.empty_free - 1);
    }
    // Every format code is a row above or a raw dump decoded into one of them.
    for (int32_t code = 0; code < D64_FORMAT_COUNT; ++code) {
        d64_format_shape shape{};
        d64_format_facts facts{};
        ASSERT_TRUE(d64_get_format_shape(code, &shape));
        ASSERT_TRUE(d64_get_format_facts(code, &facts));
        const bool row = std::find(covered.begin(), covered.end(), code) != covered.end();
        EXPECT_EQ(row, shape.signature == nullptr) << facts.name;
        EXPECT_EQ(row, facts.sectors_of == code) << facts.name;
        if (!row) {
            d64_format_shape decoded{};
            ASSERT_TRUE(d64_get_format_shape(facts.sectors_of, &decoded));
            EXPECT_EQ(shape.empty_free_blocks, decoded.empty_free_blocks) << facts.name;
            EXPECT_FALSE(shape.error_bytes) << facts.name;
            EXPECT_EQ(facts.largest_image, 0u);
        }
    }
    d64_format_facts facts{};
    d64_format_shape shape{};
    EXPECT_FALSE(d64_get_format_facts(D64_FORMAT_COUNT, &facts));
    EXPECT_FALSE(d64_get_format_shape(D64_FORMAT_COUNT, &shape));
    ASSERT_TRUE(d64_get_format_facts(D64_FORMAT_G71, &facts));
    EXPECT_STREQ(facts.name, "g71");
    EXPECT_STREQ(facts.description, "Commodore 1571, GCR track dump");
    EXPECT_EQ(facts.sectors_of, D64_FORMAT_D71);
    ASSERT_TRUE(d64_get_format_shape(D64_FORMAT_G71, &shape));
    EXPECT_STREQ(shape.signature, "GCR-1571");
    EXPECT_STREQ(shape.dump_family, "g71");
}
