// The decoder of raw track dumps: a disk written as GCR by the test writer (as a G64
// or G71, as a NIB or NB2 capture), with planted faults, must decode into exactly the
// D64 whose error bytes the faults should give.
#include "gcr_writer.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

disk_ptr open_bytes(const std::string& bytes) {
    d64_disk* disk = nullptr;
    d64_format format = D64_FORMAT_D64;
    if (!d64_open_disk(&disk, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                       &format) ||
        (format != D64_FORMAT_G64 && format != D64_FORMAT_G71 && format != D64_FORMAT_NIB &&
         format != D64_FORMAT_NB2)) {
        d64_close_disk(disk);
        disk = nullptr;
    }
    return disk_ptr(disk, d64_close_disk);
}

// The D64 a drive would read: every sector code 1 but the expected ones, and zeros in
// each sector whose code is neither 1 nor 5.
test_image expected_d64(test_image image, const std::vector<std::pair<track_sector, int>>& codes) {
    const auto sectors = static_cast<size_t>(image_total_sectors(image));
    image.bytes.resize(256 * sectors);
    image.bytes.resize(image.bytes.size() + sectors, 1);
    image.has_error_block = true;
    for (const auto& [at, code] : codes) {
        image_set_error(image, at, static_cast<uint8_t>(code));
        if (code != 1 && code != 5) {
            std::memset(image_sector(image, at), 0, 256);
        }
    }
    return image;
}

std::vector<std::pair<track_sector, int>> whole_track(int track, int code) {
    std::vector<std::pair<track_sector, int>> codes;
    for (int sector = 0; sector < image_sectors_of_track(track); ++sector) {
        codes.push_back({{track, sector}, code});
    }
    return codes;
}

std::string reports(const d64_disk* disk) {
    return capture_stream([&](FILE* stream) {
        d64_dump_directory_contents(disk, true, true, stream);
        d64_dump_bam_contents(disk, true, stream);
        bool found = false;
        d64_find_pattern_to(disk, "m*", &found, stream);
    });
}

// A 1571 disk with a file on each side, for the G71 rows.
test_image two_sided_disk() {
    test_image image = image_formatted_as(disk_format::d71, false, "TWO SIDES", "71");
    image_add_file(image, 0, 0x82, "SIDE ONE", std::vector<uint8_t>(700, 0x11), {3, 0});
    image_add_file(image, 1, 0x82, "SIDE TWO", std::vector<uint8_t>(900, 0x22), {60, 0});
    return image;
}

// A NIB's layout as `set` makes it.
template <class Set> nib_options options(Set&& set) {
    nib_options made;
    set(made);
    return made;
}

test_image forty_track_disk() {
    test_image image = image_formatted(40, false, "FORTY", "40");
    image_add_file(image, 0, 0x82, "ON 36", std::vector<uint8_t>(600, 0x36), {36, 0});
    return image;
}

} // namespace

TEST(g64, planted_faults_decode_to_the_codes_a_drive_reports) {
    using fault = gcr_fault;
    struct row {
        const char* what;
        test_image image;
        std::vector<planted_fault> faults;
        std::vector<std::pair<track_sector, int>> codes; // every other sector reads 1
        int duplicates;
    };
    const test_image sample = image_sample();
    const row rows[] = {
        {"clean", sample, {}, {}, 0},
        {"data checksum", sample, {{fault::data_checksum, {20, 10}}}, {{{20, 10}, 5}}, 0},
        {"header checksum", sample, {{fault::header_checksum, {2, 0}}}, {{{2, 0}, 9}}, 0},
        {"missing sector", sample, {{fault::missing_sector, {21, 3}}}, {{{21, 3}, 2}}, 0},
        {"missing 0x07", sample, {{fault::missing_data_id, {34, 16}}}, {{{34, 16}, 4}}, 0},
        {"foreign id", sample, {{fault::foreign_id, {35, 0}}}, {{{35, 0}, 11}}, 0},
        // A drive looks for the header of its own track: the sector is not found.
        {"a header naming another track", sample, {{fault::other_track, {12, 5}}},
         {{{12, 5}, 2}}, 0},
        {"no syncs", sample, {{fault::no_syncs, {5, 0}}}, whole_track(5, 3), 0},
        {"no data", sample, {{fault::no_data, {30, 0}}}, whole_track(30, 3), 0},
        {"over the end", sample, {{fault::over_the_end, {18, 1}}}, {}, 0},
        {"a header over the end", sample, {{fault::header_over_the_end, {7, 3}}}, {}, 0},
        {"a data block from bit 0", sample, {{fault::data_at_the_start, {9, 2}}}, {}, 0},
        // Track 35 (6250 bytes) ends 16 bits into the scan's last window: the sync
        // that ends at bit 8 must not be found twice.
        {"sync over the end", sample, {{fault::sync_across_end, {35, 0}}}, {}, 0},
        {"unaligned", sample, {{fault::unaligned, {18, 0}}, {fault::unaligned, {1, 0}}}, {}, 0},
        // Two more copies make track 31 longer than a zone-3 track, not than the largest.
        {"a later clean copy wins",
         sample,
         {{fault::data_checksum, {31, 4}}, {fault::duplicate, {31, 4}}, {fault::duplicate, {31, 5}}},
         {},
         2},
        // Without a readable header of 18/0 no id is checked.
        {"no disk id",
         sample,
         {{fault::header_checksum, {18, 0}}, {fault::foreign_id, {1, 0}}},
         {{{18, 0}, 9}},
         0},
        {"40 tracks", forty_track_disk(), {{fault::data_checksum, {40, 16}}}, {{{40, 16}, 5}}, 0},
        // A G71: side 2's tracks from the table's 84th entry, their headers numbered
        // 36-70, decoded into a D71.
        {"g71", two_sided_disk(), {}, {}, 0},
        {"g71 faults on both sides",
         two_sided_disk(),
         {{fault::data_checksum, {60, 0}}, {fault::missing_sector, {3, 0}},
          {fault::foreign_id, {53, 1}}},
         {{{3, 0}, 2}, {{53, 1}, 11}, {{60, 0}, 5}},
         0},
    };
    // Every row as a G64, and a 1541 disk's also as a NIB capture and an NB2.
    for (const row& r : rows) {
        for (const int format : {D64_FORMAT_G64, D64_FORMAT_NIB, D64_FORMAT_NB2}) {
            if (format != D64_FORMAT_G64 && r.image.format != disk_format::d64) {
                continue;
            }
            SCOPED_TRACE(std::string(r.what) + " as format " + std::to_string(format));
            const std::string file =
                format == D64_FORMAT_G64
                    ? gcr_write_g64(r.image, r.faults, true)
                    : gcr_write_nib(r.image, r.faults, options([&](nib_options& o) {
                                        o.multi_pass = format == D64_FORMAT_NB2;
                                    }));
            const disk_ptr decoded = open_bytes(file);
            ASSERT_NE(decoded, nullptr);
            EXPECT_EQ(decoded->format,
                      format == D64_FORMAT_G64 && r.image.format == disk_format::d71
                          ? D64_FORMAT_G71
                          : format);
            const test_image expected = expected_d64(r.image, r.codes);
            ASSERT_EQ(decoded->sector_data_size + decoded->error_info_size, expected.bytes.size());
            EXPECT_EQ(std::memcmp(decoded->image, expected.bytes.data(), expected.bytes.size()), 0);
            const disk_ptr reference = open_disk(expected);
            EXPECT_EQ(reports(decoded.get()), reports(reference.get()));

            d64_decode_facts facts{};
            ASSERT_TRUE(d64_get_decode_facts(decoded.get(), &facts));
            const d64_gcr_decode_info& info = facts.decode;
            const int sectors = image_total_sectors(r.image);
            EXPECT_EQ(info.tracks, r.image.tracks);
            EXPECT_EQ(info.sectors_with_error, static_cast<int>(r.codes.size()));
            EXPECT_EQ(info.sectors_ok, sectors - static_cast<int>(r.codes.size()));
            EXPECT_EQ(facts.copies_differ, 0);
            EXPECT_EQ(facts.ignored_entries, 0);
            EXPECT_EQ(facts.killer_tracks, 0);
            if (format == D64_FORMAT_G64) {
                EXPECT_EQ(info.half_tracks_with_data, 1);
                EXPECT_EQ(info.duplicate_headers, r.duplicates);
                // Five 0xFF bytes after a gap byte 0x55, whose last bit is a one too.
                EXPECT_EQ(info.shortest_sync_bits, 41);
            } else {
                // More than a revolution: the sectors of its overlap come twice, at
                // least one on every track.
                EXPECT_EQ(info.half_tracks_with_data, 0);
                EXPECT_GE(info.duplicate_headers, r.image.tracks);
                EXPECT_LE(info.shortest_sync_bits, 41);
            }
        }
    }
}

// What only a capture has: copies of a revolution that differ, killer tracks, the
// table's oddities, a file cut short, an NB2's passes to choose from.
TEST(nib, captures_decode_to_the_codes_a_drive_reports) {
    using fault = gcr_fault;
    struct row {
        const char* what;
        std::vector<planted_fault> faults;
        nib_options options;
        std::vector<std::pair<track_sector, int>> codes; // every other sector reads 1
        int copies_differ, ignored_entries, killer_tracks;
    };
    const test_image sample = image_sample();
    std::vector<std::pair<track_sector, int>> last_track = whole_track(35, 3);
    const row rows[] = {
        // The first clean copy wins; the second revolution's differs.
        {"copies differ", {{fault::copies_differ, {20, 15}}}, nib_options(), {}, 1, 0, 0},
        {"killer track",
         {{fault::killer_track, {7, 0}}},
         nib_options(),
         whole_track(7, 3),
         0,
         0,
         1},
        {"empty table", {}, options([](nib_options& o) { o.empty_table = true; }), {}, 0, 0, 0},
        {"a track named twice",
         {},
         options([](nib_options& o) { o.track_named_twice = true; }),
         {},
         0,
         1,
         0},
        {"the last track cut short",
         {},
         options([](nib_options& o) { o.cut = 100; }),
         last_track,
         0,
         1,
         0},
        {"nb2: a pass in error, the next clean",
         {},
         options([](nib_options& o) {
             o.multi_pass = true;
             o.first_pass_faults = {{fault::data_checksum, {3, 4}}};
         }),
         {},
         0,
         0,
         0},
        {"nb2: every pass with one error, the first wins the tie",
         {},
         options([](nib_options& o) {
             o.multi_pass = true;
             o.first_pass_faults = {{fault::data_checksum, {3, 4}}};
             o.later_pass_faults = {{fault::data_checksum, {3, 5}}};
         }),
         {{{3, 4}, 5}},
         0,
         0,
         0},
        {"nb2 killer track",
         {{fault::killer_track, {18, 0}}, {fault::killer_track, {19, 0}}},
         options([](nib_options& o) { o.multi_pass = true; }),
         [] {
             auto codes = whole_track(18, 3);
             const auto more = whole_track(19, 3);
             codes.insert(codes.end(), more.begin(), more.end());
             return codes;
         }(),
         0,
         0,
         2},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        const disk_ptr decoded = open_bytes(gcr_write_nib(sample, r.faults, r.options));
        ASSERT_NE(decoded, nullptr);
        const test_image expected = expected_d64(sample, r.codes);
        ASSERT_EQ(decoded->sector_data_size + decoded->error_info_size, expected.bytes.size());
        EXPECT_EQ(std::memcmp(decoded->image, expected.bytes.data(), expected.bytes.size()), 0);
        d64_decode_facts facts{};
        ASSERT_TRUE(d64_get_decode_facts(decoded.get(), &facts));
        EXPECT_EQ(facts.copies_differ, r.copies_differ);
        EXPECT_EQ(facts.ignored_entries, r.ignored_entries);
        EXPECT_EQ(facts.killer_tracks, r.killer_tracks);
        EXPECT_EQ(facts.decode.sectors_with_error, static_cast<int>(r.codes.size()));
    }
}

TEST(g64, track_count_follows_the_headers_beyond_track_35) {
    test_image forty = forty_track_disk();
    std::vector<planted_fault> no_extra_tracks;
    for (int track = 36; track <= 40; ++track) {
        no_extra_tracks.push_back({gcr_fault::header_checksum, {track, 0}});
    }
    struct row {
        const char* what;
        test_image image;
        std::vector<planted_fault> faults;
        int tracks;
    };
    std::vector<planted_fault> checksums_only_on_36_to_40 = no_extra_tracks;
    const row rows[] = {
        {"35", image_formatted(35, false), {}, 35},
        {"42", image_formatted(42, false), {}, 42},
        // Every header of 36-40 but those of sector 0 reads: still 40 tracks.
        {"40 with bad headers", forty, no_extra_tracks, 40},
        {"36-40 without syncs",
         forty,
         {{gcr_fault::no_syncs, {36, 0}}, {gcr_fault::no_syncs, {37, 0}},
          {gcr_fault::no_syncs, {38, 0}}, {gcr_fault::no_syncs, {39, 0}},
          {gcr_fault::no_syncs, {40, 0}}},
         35},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        const disk_ptr decoded = open_bytes(gcr_write_g64(r.image, r.faults));
        ASSERT_NE(decoded, nullptr);
        EXPECT_EQ(decoded->track_count, r.tracks);
        EXPECT_EQ(decoded->error_info_size, static_cast<uint64_t>(image_sector_count(r.tracks)));
    }
}

// Hostile files: whatever the header, tables and tracks claim, the decoder reads
// nothing outside the file, ends, and gives every track it cannot use code 3.
TEST(g64, hostile_files_decode_within_bounds) {
    const std::string good = gcr_write_g64(image_formatted(35, false));
    const auto with = [&](size_t at, std::string bytes) {
        std::string file = good;
        file.replace(at, bytes.size(), bytes);
        return file;
    };
    const std::string le_far("\xff\xff\xff\x7f", 4);
    struct row {
        const char* what;
        std::string file;
        bool recognised;
        int track1_code; // of sector 0 of track 1
    };
    const size_t track1 = static_cast<uint8_t>(good[12]) | static_cast<uint8_t>(good[13]) << 8;
    const row rows[] = {
        {"signature only", good.substr(0, 8), false, 0},
        {"header only", good.substr(0, 12), false, 0},
        {"tables cut short", good.substr(0, 12 + 8 * 84 - 1), false, 0},
        {"no track entries", with(9, std::string(1, '\0')).substr(0, 12), true, 3},
        {"offset past the end", with(12, le_far), true, 3},
        {"length past the end", good.substr(0, track1 + 100), true, 3},
        {"longer than the largest track", with(10, std::string("\x10\x00", 2)), true, 3},
        {"track of ones", with(track1 + 2, std::string(7692, '\xff')), true, 3},
        {"track of zeros", with(track1 + 2, std::string(7692, '\0')), true, 3},
        {"one byte track", with(track1, std::string("\x01\x00\xff", 3)), true, 3},
        {"255 entries", with(9, "\xff"), true, 1},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        d64_disk* raw = nullptr;
        const bool opened = d64_open_disk(&raw, reinterpret_cast<const uint8_t*>(r.file.data()),
                                          r.file.size(), nullptr);
        const disk_ptr disk(raw, d64_close_disk);
        ASSERT_EQ(opened, r.recognised);
        if (!opened) {
            continue;
        }
        uint8_t code = 0;
        d64_get_sector_error_info(disk.get(), 1, 0, &code);
        EXPECT_EQ(code, r.track1_code);
    }
}

// Hostile NIB and NB2 files: whatever the header and table claim, the decoder reads
// nothing outside the file and ends; a track it cannot use is code 3.
TEST(nib, hostile_files_decode_within_bounds) {
    const std::string good = gcr_write_nib(image_formatted(35, false));
    const auto with = [&](size_t at, const std::string& bytes) {
        std::string file = good;
        file.replace(at, bytes.size(), bytes);
        return file;
    };
    std::string noise(256 + 84 * 8192, '\0');
    uint32_t state = 1541;
    for (char& byte : noise) {
        state = state * 1103515245U + 12345U;
        byte = static_cast<char>(state >> 24);
    }
    noise.replace(0, 13, "MNIB-1541-RAW");
    // Half-tracks 2 to 85 (the last one past 84), then the table's end.
    for (int entry = 0; entry < 84; ++entry) {
        noise[0x10 + 2 * entry] = static_cast<char>(entry + 2);
    }
    noise[0x10 + 2 * 84] = '\0';
    struct row {
        const char* what;
        std::string file;
        bool recognised;
        int track1_code; // of sector 0 of track 1
        int ignored_entries;
    };
    const row rows[] = {
        {"signature only", good.substr(0, 13), false, 0, 0},
        {"header cut short", good.substr(0, 255), false, 0, 0},
        {"header only", good.substr(0, 256), true, 3, 35},
        {"half-track numbers past 84", with(0x10, std::string(70, '\xC8')), true, 3, 35},
        {"track of ones", with(256, std::string(8192, '\xff')), true, 3, 0},
        {"track of zeros", with(256, std::string(8192, '\0')), true, 3, 0},
        {"a full table of track 1", with(0x10, std::string(240, '\x02')), true, 1, 119},
        {"84 entries of noise", noise, true, -1, 1},
        {"an NB2 of one track",
         "MNIB-1541-RAW" + std::string(3, '\0') + "\x02\x03" + std::string(238, '\0') +
             std::string(16 * 8192, '\x55'),
         true, 3, 0},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        d64_disk* raw = nullptr;
        d64_format format = D64_FORMAT_D64;
        const bool opened = d64_open_disk(&raw, reinterpret_cast<const uint8_t*>(r.file.data()),
                                          r.file.size(), &format);
        const disk_ptr disk(raw, d64_close_disk);
        ASSERT_EQ(opened, r.recognised);
        if (!opened) {
            continue;
        }
        uint8_t code = 0;
        d64_get_sector_error_info(disk.get(), 1, 0, &code);
        if (r.track1_code >= 0) {
            EXPECT_EQ(code, r.track1_code);
        }
        d64_decode_facts facts{};
        ASSERT_TRUE(d64_get_decode_facts(disk.get(), &facts));
        EXPECT_EQ(facts.ignored_entries, r.ignored_entries);
        EXPECT_EQ(facts.decode.sectors_ok + facts.decode.sectors_with_error,
                  image_sector_count(disk->track_count));
        EXPECT_EQ(format, r.file.size() == 256 + 16 * 8192 ? D64_FORMAT_NB2 : D64_FORMAT_NIB);
    }
}
