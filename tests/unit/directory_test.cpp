#include "test_support.h"

#include <gtest/gtest.h>

namespace {

// Offset of each slot the walk delivers, at most `limit` of them.
std::vector<long> walk(const test_image& image, int limit = 200) {
    const disk_ptr disk = open_disk(image);
    d64_dir_cursor cursor;
    const d64_dir_entry* entry = nullptr;
    std::vector<long> offsets;
    bool more = d64_first_dir_entry(disk.get(), &cursor, &entry);
    while (more && static_cast<int>(offsets.size()) < limit) {
        offsets.push_back(reinterpret_cast<const uint8_t*>(entry) - image.bytes.data());
        more = d64_next_dir_entry(disk.get(), &cursor, &entry);
    }
    return offsets;
}

long slot_offset(int sector, int index) {
    return 256L * (357 + sector) + 32L * index;
}

} // namespace

TEST(directory, walk_follows_track_18_links_and_stops_at_bad_ones) {
    struct row {
        std::vector<track_sector> links; // link of 18/1, then of each next sector
        size_t slots;
    };
    const row rows[] = {
        {{{0, 255}}, 8},  {{{18, 4}, {18, 7}, {0, 255}}, 24}, {{{19, 0}}, 8}, // leaves track 18
        {{{18, 19}}, 8},                                                      // no such sector
        {{{18, 1}}, 200}, // loops on itself: only the caller's bound ends it
    };
    for (const row& r : rows) {
        test_image image = image_formatted(35, false);
        track_sector at{18, 1};
        for (const track_sector& link : r.links) {
            image_link(image, at, link.track, link.sector);
            at = link;
        }
        const std::vector<long> offsets = walk(image);
        ASSERT_EQ(offsets.size(), r.slots);
        EXPECT_EQ(offsets[0], slot_offset(1, 0));
        EXPECT_EQ(offsets[7], slot_offset(1, 7));
    }
    test_image image = image_formatted(35, false);
    image_link(image, {18, 1}, 18, 4);
    image_link(image, {18, 4}, 18, 7);
    image_link(image, {18, 7}, 0, 255);
    const std::vector<long> offsets = walk(image);
    EXPECT_EQ(offsets[8], slot_offset(4, 0));
    EXPECT_EQ(offsets[16], slot_offset(7, 0));
}

TEST(directory, eighteen_sectors_give_144_slots) {
    test_image image = image_formatted(35, false);
    image_set_entry(image, 143, test_entry{});
    EXPECT_EQ(walk(image).size(), 144u);
}

TEST(directory, end_of_walk_leaves_cursor_and_entry_alone) {
    const test_image image = image_formatted(35, false);
    const disk_ptr disk = open_disk(image);
    d64_dir_cursor cursor;
    const d64_dir_entry* entry = nullptr;
    ASSERT_TRUE(d64_first_dir_entry(disk.get(), &cursor, &entry));
    for (int i = 0; i < 7; ++i) {
        ASSERT_TRUE(d64_next_dir_entry(disk.get(), &cursor, &entry));
    }
    const d64_dir_entry* last = entry;
    EXPECT_FALSE(d64_next_dir_entry(disk.get(), &cursor, &entry));
    EXPECT_EQ(entry, last);
    EXPECT_EQ(cursor.entry_index, 7);
    EXPECT_FALSE(d64_first_dir_entry(disk.get(), nullptr, &entry));
}

TEST(directory, cursor_the_walk_did_not_produce_reads_nothing_outside_the_image) {
    // The image is followed by guard sectors that each link to 18/1: a walk that read
    // past the image would find a valid link there and carry on.
    test_image image = image_formatted(35, false);
    const size_t image_size = image.bytes.size();
    image.bytes.resize(image_size + 64 * 256);
    for (size_t at = image_size; at < image.bytes.size(); at += 256) {
        image.bytes[at] = 18;
        image.bytes[at + 1] = 1;
    }
    d64_disk* raw = nullptr;
    ASSERT_TRUE(d64_init_disk(&raw, image.bytes.data(), image_size));
    const disk_ptr disk(raw, d64_close_disk);
    const d64_dir_cursor forged[] = {{40, 0, 7},  {40, 0, 0}, {36, 5, 3}, {18, 19, 7},
                                     {18, 19, 0}, {0, 0, 0},  {1, 21, 7}};
    for (const d64_dir_cursor& start : forged) {
        d64_dir_cursor cursor = start;
        const d64_dir_entry* entry = nullptr;
        SCOPED_TRACE(std::to_string(start.track) + "/" + std::to_string(start.sector) + " #" +
                     std::to_string(start.entry_index));
        EXPECT_FALSE(d64_next_dir_entry(disk.get(), &cursor, &entry));
        EXPECT_EQ(entry, nullptr);
        EXPECT_EQ(cursor.entry_index, start.entry_index);
    }
}

TEST(directory, entry_fields) {
    struct row {
        uint8_t type;
        bool valid;
    };
    const row types[] = {{130, true}, {194, true}, {2, true},   {0, true},    {128, true},
                         {4, true},   {5, false},  {69, false}, {0x3F, false}};
    d64_dir_entry entry{};
    for (const row& r : types) {
        entry.type = r.type;
        uint8_t type = 0xEE;
        EXPECT_EQ(d64_get_file_type(&entry, &type), r.valid) << int(r.type);
        EXPECT_EQ(type, r.type);
    }
    entry.size_lo = 16;
    entry.size_hi = 2;
    int32_t size = 0;
    ASSERT_TRUE(d64_get_file_size_sectors(&entry, &size));
    EXPECT_EQ(size, 528);

    const auto name = petscii_name("AB\rC", 0);
    std::copy(name.begin(), name.end(), entry.name);
    char text[17];
    ASSERT_TRUE(d64_get_file_name(&entry, text));
    EXPECT_EQ(std::string(text, 16), std::string("AB\rC\0\0\0\0\0\0\0\0\0\0\0\0", 16));
    EXPECT_EQ(text[16], '\0');

    const test_image image = image_blank(35, false);
    const disk_ptr disk = open_disk(image);
    int32_t track = -1;
    int32_t sector = -1;
    entry.first_track = 0;
    entry.first_sector = 9;
    EXPECT_FALSE(d64_get_file_first_track_and_sector(disk.get(), &entry, &track, &sector));
    EXPECT_EQ(track, 0);
    EXPECT_EQ(sector, 9);
    entry.first_track = 17;
    entry.first_sector = 20;
    EXPECT_TRUE(d64_get_file_first_track_and_sector(disk.get(), &entry, &track, &sector));
}

// The bounded walk: every slot of the chain, numbered from 1, at most the format's
// slots, which ends a chain that loops back to the first sector.
TEST(directory, foreach_walks_every_slot_within_the_format_bound) {
    struct row {
        const char* what;
        disk_format format;
        bool loop;
        int32_t slots;
    };
    const row rows[] = {
        {"one sector", disk_format::d64, false, 8},  {"d64 loop", disk_format::d64, true, 144},
        {"d81 loop", disk_format::d81, true, 296},   {"d80 loop", disk_format::d80, true, 224},
        {"d82 one sector", disk_format::d82, false, 8},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        test_image image = image_formatted_as(r.format, false);
        const track_sector first = image_directory_sector(image, 0);
        if (r.loop) {
            image_link(image, first, first.track, first.sector);
        }
        const disk_ptr disk = open_disk(image);
        std::vector<int32_t> numbers;
        const auto note = [](const d64_dir_entry*, int32_t slot, void* context) {
            static_cast<std::vector<int32_t>*>(context)->push_back(slot);
            return true;
        };
        ASSERT_TRUE(d64_foreach_dir_entry(disk.get(), note, &numbers));
        ASSERT_EQ(numbers.size(), static_cast<size_t>(r.slots));
        EXPECT_EQ(numbers.front(), 1);
        EXPECT_EQ(numbers.back(), r.slots);
    }
    const char* name = nullptr;
    for (const auto& [type, expected] : {std::pair{0x80, "del"}, {0xC2, "prg"}, {0x04, "rel"},
                                         {0x85, "cbm"}}) {
        ASSERT_TRUE(d64_file_type_name(static_cast<uint8_t>(type), &name));
        EXPECT_STREQ(name, expected);
    }
    d64_close_disk(nullptr); // nothing to release
}
