// The JSON record, parsed back and compared field by field with what the builder
// laid out.
#include "catalogue.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <openssl/evp.h>

namespace {

using json = nlohmann::json;

std::string hex_digest(const EVP_MD* kind, const std::vector<uint8_t>& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, kind, nullptr);
    return hex(digest, length);
}

std::string crc32_hex(const std::vector<uint8_t>& bytes) {
    const uint32_t crc = crc32_of(bytes.data(), bytes.size());
    const uint8_t digits[4] = {static_cast<uint8_t>(crc >> 24), static_cast<uint8_t>(crc >> 16),
                               static_cast<uint8_t>(crc >> 8), static_cast<uint8_t>(crc)};
    return hex(digits, 4);
}

json record_of(const test_image& image, const std::vector<std::string>& members = {}) {
    const disk_ptr disk = open_disk(image);
    const std::string path = "x.d64";
    const std::string line = catalogue::record_line(
        {path, members}, catalogue::inspect(disk.get(), image.bytes.data(), image.bytes.size()),
        nullptr);
    EXPECT_EQ(line.find('\n'), line.size() - 1);
    return json::parse(line);
}

} // namespace

TEST(catalogue, files_record_every_listed_slot_and_its_chain) {
    test_image image = image_formatted(35, false, "FILES", "FI");
    const std::vector<uint8_t> payload(300, 7);
    image_add_file(image, 0, 0x82, "ALPHA", payload);
    image_add_file(image, 1, 0x41, "SEQ", {1}, {2, 0});
    image_add_file(image, 2, 0xC3, "USR", {2}, {3, 0});
    image_add_file(image, 3, 0x84, "REL", {3}, {4, 0});
    image_add_file(image, 4, 0x80, "DEL", {4}, {5, 0});
    test_entry gone;
    gone.type = 0x00;
    gone.name = petscii_name("GONE");
    image_set_entry(image, 5, gone);
    gone.type = 0x45;
    gone.name = petscii_name("ODD");
    image_set_entry(image, 6, gone); // slot 7 stays empty
    const auto broken = image_add_file(image, 8, 0x82, "BROKEN", payload, {6, 0});
    image_link(image, broken[1], 36, 0);
    const auto looping = image_add_file(image, 9, 0x82, "LOOP", payload, {8, 0});
    image_link(image, looping[1], looping[0].track, looping[0].sector);
    const auto short_last = image_add_file(image, 10, 0x02, "EMPTY END", payload, {10, 0});
    image_link(image, short_last[1], 0, 0);
    gone = test_entry{0x82, petscii_name("CLAIMS 999"), short_last[0], 999};
    image_set_entry(image, 11, gone);

    const json files = record_of(image)["files"];
    struct row {
        int slot;
        json type;
        int type_byte;
        bool closed, locked, scratched;
        std::string name;
        int blocks;
        json chain; // ok, sectors, bytes, md5 (null when the walk failed)
    };
    const std::string md5_300 = hex_digest(EVP_md5(), payload);
    const std::string md5_254 = hex_digest(EVP_md5(), std::vector<uint8_t>(254, 7));
    const json no_chain = nullptr;
    const row rows[] = {
        {1, "prg", 0x82, true, false, false, "alpha", 2, {true, 2, 300, md5_300}},
        {2, "seq", 0x41, false, true, false, "seq", 1, {true, 1, 1, hex_digest(EVP_md5(), {1})}},
        {3, "usr", 0xC3, true, true, false, "usr", 1, {true, 1, 1, hex_digest(EVP_md5(), {2})}},
        {4, "rel", 0x84, true, false, false, "rel", 1, {true, 1, 1, hex_digest(EVP_md5(), {3})}},
        {5, "del", 0x80, true, false, false, "del", 1, {true, 1, 1, hex_digest(EVP_md5(), {4})}},
        {6, "del", 0x00, false, false, true, "gone", 0, no_chain},
        {7, nullptr, 0x45, false, true, false, "odd", 0, no_chain},
        {9, "prg", 0x82, true, false, false, "broken", 2, {false, 2, 508, nullptr}},
        {10, "prg", 0x82, true, false, false, "loop", 2, {false, 683, 683 * 254, nullptr}},
        {11, "prg", 0x02, false, false, false, "empty end", 2, {true, 2, 254, md5_254}},
        {12, "prg", 0x82, true, false, false, "claims 999", 999, {true, 2, 254, md5_254}},
    };
    ASSERT_EQ(files.size(), std::size(rows));
    for (size_t i = 0; i < files.size(); ++i) {
        const row& r = rows[i];
        const json& file = files[i];
        SCOPED_TRACE(r.name);
        EXPECT_EQ(file["slot"], r.slot);
        EXPECT_EQ(file["type"], r.type);
        EXPECT_EQ(file["type_byte"], r.type_byte);
        EXPECT_EQ(file["closed"], r.closed);
        EXPECT_EQ(file["locked"], r.locked);
        EXPECT_EQ(file["scratched"], r.scratched);
        EXPECT_EQ(file["name"], r.name);
        EXPECT_EQ(file["blocks"], r.blocks);
        const json expected_chain = r.chain.is_null() ? json(nullptr)
                                                      : json{{"ok", r.chain[0]},
                                                             {"sectors", r.chain[1]},
                                                             {"bytes", r.chain[2]},
                                                             {"md5", r.chain[3]}};
        EXPECT_EQ(file["chain"], expected_chain);
    }
    EXPECT_EQ(files[0]["first"], json::array({1, 0}));
    EXPECT_EQ(files[0]["name_hex"], "414c504841a0a0a0a0a0a0a0a0a0a0a0");
}

TEST(catalogue, image_disk_bam_and_errors_follow_the_geometry) {
    struct row {
        int tracks;
        bool error_block;
        bool header_ok;
    };
    for (const row& r :
         {row{35, false, true}, row{35, true, false}, row{40, false, true}, row{42, true, true}}) {
        SCOPED_TRACE(r.tracks);
        test_image image = image_formatted(r.tracks, r.error_block, "GEOMETRY", "GE");
        if (r.error_block) {
            image_set_error(image, {1, 0}, 0);
            image_set_error(image, {r.tracks, 16}, 255);
        }
        if (!r.header_ok) {
            image_sector(image, {18, 0})[1] = 4;
        }
        const json record = record_of(image, {"a.zip", "x.d64"});
        EXPECT_EQ(record["path"], "x.d64");
        EXPECT_EQ(record["member"], json::array({"a.zip", "x.d64"}));
        EXPECT_EQ(record["image"], (json{{"format", "d64"},
                                         {"size", image.bytes.size()},
                                         {"tracks", r.tracks},
                                         {"error_info", r.error_block},
                                         {"md5", hex_digest(EVP_md5(), image.bytes)},
                                         {"sha1", hex_digest(EVP_sha1(), image.bytes)},
                                         {"crc32", crc32_hex(image.bytes)}}));
        const json& disk = record["disk"];
        EXPECT_EQ(disk["name"], r.header_ok ? "geometry" : "????????????????");
        EXPECT_EQ(disk["id"], r.header_ok ? "ge 2a" : "?????");
        EXPECT_EQ(disk["id_hex"], r.header_ok ? "4745a03241" : "3f3f3f3f3f");
        EXPECT_EQ(disk["header_ok"], r.header_ok);
        // No layout fits the bytes past 35 tracks (the name 'G', 'E', then shifted
        // spaces): those tracks have no BAM, add nothing and are all allocated.
        const int free_blocks = 664;
        EXPECT_EQ(disk["free_blocks"], free_blocks);
        const json& bam = record["bam"];
        ASSERT_EQ(bam.size(), static_cast<size_t>(r.tracks));
        EXPECT_EQ(bam[0],
                  (json{{"track", 1}, {"free", 21}, {"used", 0}, {"map", std::string(21, '.')}}));
        EXPECT_EQ(
            bam[17],
            (json{{"track", 18}, {"free", 17}, {"used", 2}, {"map", "**" + std::string(17, '.')}}));
        EXPECT_EQ(bam[r.tracks - 1],
                  r.tracks == 35 ? (json{{"track", 35}, {"free", 17}, {"used", 0},
                                         {"map", std::string(17, '.')}})
                                 : (json{{"track", r.tracks}, {"free", 0}, {"used", 17},
                                         {"map", std::string(17, '*')}}));
        const json errors =
            r.error_block ? json::array({{{"track", 1}, {"sector", 0}, {"code", 0}},
                                         {{"track", r.tracks}, {"sector", 16}, {"code", 255}}})
                          : json::array();
        EXPECT_EQ(record["errors"], errors);
    }
}

TEST(catalogue, names_of_every_byte_value_stay_printable_and_exact_in_hex) {
    test_image image = image_formatted(35, false);
    image_set_every_byte_name(image);
    const json files = record_of(image)["files"]; // parsing checks the UTF-8 too
    ASSERT_EQ(files.size(), 16u);
    for (int slot = 0; slot < 16; ++slot) {
        uint8_t bytes[16];
        for (int i = 0; i < 16; ++i) {
            bytes[i] = static_cast<uint8_t>(slot * 16 + i);
        }
        EXPECT_EQ(files[slot]["name_hex"], hex(bytes));
        for (const char c : files[slot]["name"].get<std::string>()) {
            EXPECT_TRUE(c >= 0x20 && c < 0x7F) << "slot " << slot;
        }
    }
}

TEST(catalogue, format_partition_and_bam_layout) {
    test_image d81 = image_formatted_as(disk_format::d81, false, "BIG", "B8");
    test_entry partition;
    partition.type = 0x85;
    partition.name = petscii_name("PART");
    partition.first = {41, 0};
    partition.blocks = 120;
    image_set_entry(d81, 0, partition);
    const json record81 = record_of(d81);
    EXPECT_EQ(record81["image"]["format"], "d81");
    EXPECT_EQ(record81["image"]["tracks"], 80);
    EXPECT_FALSE(record81["disk"].contains("bam_layout"));
    EXPECT_EQ(record81["disk"]["free_blocks"], 3160);
    const json& part = record81["files"][0];
    EXPECT_EQ(part["type"], "cbm");
    EXPECT_EQ(part["chain"], nullptr);
    EXPECT_EQ(part["partition"], (json{{"first", {41, 0}}, {"sectors", 120}}));
    ASSERT_EQ(record81["bam"].size(), 80u);
    EXPECT_EQ(
        record81["bam"][39],
        (json{{"track", 40}, {"free", 36}, {"used", 4}, {"map", "****" + std::string(36, '.')}}));

    const json record71 = record_of(image_formatted_as(disk_format::d71, false));
    EXPECT_EQ(record71["image"]["format"], "d71");
    EXPECT_EQ(record71["bam"][52]["map"], "*" + std::string(18, '.')); // track 53
    EXPECT_EQ(record71["disk"]["free_blocks"], 1328);

    // Tracks 36-40 in the SpeedDOS places: the layout and the free count it gives.
    test_image d64 = image_formatted(40, false);
    for (int i = 0; i < 5; ++i) {
        uint8_t* entry = image_sector(d64, {18, 0}) + 0xC0 + 4 * i;
        entry[0] = 17;
        entry[1] = entry[2] = 0xFF;
        entry[3] = 0x01;
    }
    const json disk = record_of(d64)["disk"];
    EXPECT_EQ(disk["bam_layout"], "speeddos");
    EXPECT_EQ(disk["free_blocks_in_layout"], 664 + 5 * 17);
    const json plain = record_of(image_formatted(35, false))["disk"];
    EXPECT_EQ(plain["bam_layout"], nullptr);
    EXPECT_EQ(plain["free_blocks_in_layout"], nullptr);
}
