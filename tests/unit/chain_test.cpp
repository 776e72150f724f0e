#include "test_support.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <string>

namespace {

d64_dir_entry entry_for(uint8_t type, track_sector first) {
    d64_dir_entry entry{};
    entry.type = type;
    entry.first_track = static_cast<uint8_t>(first.track);
    entry.first_sector = static_cast<uint8_t>(first.sector);
    return entry;
}

std::vector<uint8_t> bytes_of(const std::string& text) {
    return {text.begin(), text.end()};
}

// Every sector of the disk, in linear order, linked to the next; `length` of them.
void link_linearly(test_image& image, int length) {
    std::vector<track_sector> all;
    for (int track = 1; track <= image.tracks; ++track) {
        for (int sector = 0; sector < image_sectors_of_track(track); ++sector) {
            all.push_back({track, sector});
        }
    }
    for (int i = 0; i + 1 < length; ++i) {
        image_link(image, all[i], all[i + 1].track, all[i + 1].sector);
    }
    image_link(image, all[length - 1], 0, 255);
}

} // namespace

TEST(chain, counts_bytes_and_result_follow_the_links) {
    struct row {
        const char* what;
        uint8_t type;
        size_t payload;  // bytes written by the builder
        int last_byte1;  // -1: as the builder wrote it
        int break_after; // >0: that sector links to track 36
        bool ok;
        int32_t sectors, bytes;
    };
    const row rows[] = {
        {"one full sector", 0x82, 254, -1, 0, true, 1, 254},
        {"three sectors, last link 0/101", 0x82, 608, -1, 0, true, 3, 608},
        {"last sector carries nothing", 0x82, 0, 1, 0, true, 1, 0},
        {"last byte 1 = 0 counts -1", 0x81, 0, 0, 0, true, 1, -1},
        {"closed del is walked", 0x80, 300, -1, 0, true, 2, 300},
        {"unclosed prg is walked", 0x02, 300, -1, 0, true, 2, 300},
        {"scratched slot", 0x00, 300, -1, 0, false, 0, 0},
        {"invalid type", 0x45, 300, -1, 0, false, 0, 0},
        {"link off the disk", 0x82, 1000, -1, 2, false, 2, 508},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        test_image image = image_formatted(35, false);
        const auto chain = image_write_chain(image, std::vector<uint8_t>(r.payload, 7), {1, 0});
        if (r.last_byte1 >= 0) {
            image_link(image, chain.back(), 0, r.last_byte1);
        }
        if (r.break_after > 0) {
            image_link(image, chain[r.break_after - 1], 36, 0);
        }
        const disk_ptr disk = open_disk(image);
        const d64_dir_entry entry = entry_for(r.type, chain.front());
        int32_t sectors = -5;
        int32_t bytes = -5;
        EXPECT_EQ(d64_calculate_file_size_sectors(disk.get(), &entry, &sectors), r.ok);
        EXPECT_EQ(d64_calculate_file_size_bytes(disk.get(), &entry, &bytes), r.ok);
        EXPECT_EQ(sectors, r.sectors);
        EXPECT_EQ(bytes, r.bytes);
    }
}

TEST(chain, walk_is_bounded_by_the_sector_count) {
    struct row {
        int chain_length; // 0: first sector links to itself
        bool ok;
        int32_t sectors;
    };
    for (const row& r : {row{682, true, 682}, row{683, false, 683}, row{0, false, 683}}) {
        test_image image = image_blank(35, false);
        if (r.chain_length > 0) {
            link_linearly(image, r.chain_length);
        } else {
            image_link(image, {1, 0}, 1, 0);
        }
        const disk_ptr disk = open_disk(image);
        const d64_dir_entry entry = entry_for(0x82, {1, 0});
        int32_t sectors = 0;
        EXPECT_EQ(d64_calculate_file_size_sectors(disk.get(), &entry, &sectors), r.ok);
        EXPECT_EQ(sectors, r.sectors) << r.chain_length;
    }
    const test_image image = image_blank(35, false);
    const disk_ptr disk = open_disk(image);
    const d64_dir_entry no_first = entry_for(0x82, {0, 0});
    int32_t sectors = -1;
    EXPECT_FALSE(d64_calculate_file_size_sectors(disk.get(), &no_first, &sectors));
    EXPECT_EQ(sectors, 0);
}

TEST(chain, md5_matches_reference_digests) {
    // RFC 1321's test suite, each stored as a one-sector file.
    const std::pair<std::string, std::string> vectors[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& [text, digest] : vectors) {
        test_image image = image_formatted(35, false);
        const auto chain = image_write_chain(image, bytes_of(text), {1, 0});
        const disk_ptr disk = open_disk(image);
        const d64_dir_entry entry = entry_for(0x82, chain.front());
        uint8_t out[16];
        ASSERT_TRUE(d64_calculate_file_md5(disk.get(), &entry, out));
        EXPECT_EQ(hex(out), digest) << text;
    }
}

TEST(chain, md5_and_export_cover_the_payload_in_chain_order) {
    std::vector<uint8_t> payload(1000);
    for (size_t i = 0; i < payload.size(); ++i) {
        payload[i] = static_cast<uint8_t>(i * 7 + i / 254);
    }
    test_image image = image_formatted(35, false);
    const auto chain = image_write_chain(image, payload, {17, 0}, 10);
    ASSERT_EQ(chain.size(), 4u);
    EXPECT_EQ(chain[1].track, 17); // the interleave puts sector 10 after 0, 20 after 10 ...
    EXPECT_EQ(chain[1].sector, 10);
    const disk_ptr disk = open_disk(image);
    const d64_dir_entry entry = entry_for(0x82, chain.front());

    uint8_t expected[EVP_MAX_MD_SIZE];
    unsigned expected_length = 0;
    EVP_Digest(payload.data(), payload.size(), expected, &expected_length, EVP_md5(), nullptr);
    uint8_t digest[16];
    ASSERT_TRUE(d64_calculate_file_md5(disk.get(), &entry, digest));
    EXPECT_EQ(hex(digest), hex(expected, expected_length));

    const std::string exported = capture_stream(
        [&](FILE* stream) { EXPECT_TRUE(d64_export_file(disk.get(), &entry, stream)); });
    EXPECT_EQ(exported, std::string(payload.begin(), payload.end()));

    FILE* refusing = std::fopen("/dev/null", "r");
    EXPECT_FALSE(d64_export_file(disk.get(), &entry, refusing));
    std::fclose(refusing);
}

TEST(chain, failed_md5_walk_leaves_the_digest_of_what_was_visited) {
    test_image image = image_formatted(35, false);
    const auto chain = image_write_chain(image, std::vector<uint8_t>(300, 1), {1, 0});
    image_link(image, chain.back(), 0, 0); // payload length -1: no bytes for the digest
    const disk_ptr disk = open_disk(image);
    uint8_t digest[16];
    const d64_dir_entry scratched = entry_for(0, chain.front());
    EXPECT_FALSE(d64_calculate_file_md5(disk.get(), &scratched, digest));
    EXPECT_EQ(hex(digest), "d41d8cd98f00b204e9800998ecf8427e");

    const d64_dir_entry entry = entry_for(0x82, chain.front());
    ASSERT_TRUE(d64_calculate_file_md5(disk.get(), &entry, digest));
    uint8_t expected[EVP_MAX_MD_SIZE];
    unsigned expected_length = 0;
    const std::vector<uint8_t> first_sector(254, 1);
    EVP_Digest(first_sector.data(), 254, expected, &expected_length, EVP_md5(), nullptr);
    EXPECT_EQ(hex(digest), hex(expected, expected_length));
    const std::string exported = capture_stream(
        [&](FILE* stream) { EXPECT_TRUE(d64_export_file(disk.get(), &entry, stream)); });
    EXPECT_EQ(exported.size(), 254u);
}
