// The sample image: one disk that shows every column of the three reports.
#include "image_builder.h"

#include <string>

namespace {

std::vector<uint8_t> text_payload(const char* text, size_t length) {
    std::vector<uint8_t> payload(length);
    for (size_t i = 0; i < length; ++i) {
        payload[i] = static_cast<uint8_t>(text[i % std::char_traits<char>::length(text)]);
    }
    return payload;
}

} // namespace

test_image image_sample() {
    test_image image = image_formatted(35, true, "FLOPPEEK SAMPLE", "FP");
    image_add_file(image, 0, 0x82, "HELLO WORLD", text_payload("10 PRINT \"HELLO\"\r", 600));
    std::string intro = "INTRO";
    intro += static_cast<char>(k_shifted_space_byte);
    intro += "V2";
    image_add_file(image, 1, 0xC2, intro, text_payload("intro", 2000), {3, 0});
    image_add_file(image, 2, 0x81, "README", text_payload("read me\r", 300), {5, 0});
    image_add_file(image, 3, 0x02, "SAVE@CRASH", text_payload("unclosed", 700), {7, 0});

    // A scratched file: its entry keeps the name, its type byte is 0.
    test_entry scratched;
    scratched.type = 0;
    scratched.name = petscii_name("OLD GAME");
    scratched.first = {9, 0};
    scratched.blocks = 5;
    image_set_entry(image, 4, scratched);

    image_add_file(image, 5, 0xC3, "NOTES", text_payload("usr", 100), {10, 0});
    image_add_file(image, 6, 0x84, "RECORDS", text_payload("rel", 254), {11, 0});
    image_add_file(image, 7, 0x80, "----------------", {}, {12, 0});

    // The directory claims 9 blocks for a 4-sector file.
    image_add_file(image, 8, 0x82, "MISMATCH", text_payload("m", 1000), {19, 0});
    test_entry mismatch;
    mismatch.name = petscii_name("MISMATCH");
    mismatch.first = {19, 0};
    mismatch.blocks = 9;
    image_set_entry(image, 8, mismatch);

    // The second sector of this chain links to a track the disk does not have.
    const auto broken = image_add_file(image, 9, 0x82, "BROKEN", text_payload("b", 800), {20, 0});
    image_link(image, broken[1], 40, 0);

    image_set_error(image, broken[1], 5);
    image_set_error(image, {2, 0}, 9);
    image_set_error(image, {21, 3}, 11);
    image_set_error(image, {34, 16}, 0);
    image_set_error(image, {35, 0}, 23);
    return image;
}

test_image image_sample_companion() {
    test_image image = image_formatted(35, false, "COMPANION", "CP");
    image_add_file(image, 0, 0x82, "TOOLS", text_payload("tools", 900), {2, 0});
    // The same program as on the sample disk, in other sectors: the same MD5.
    image_add_file(image, 1, 0x82, "HELLO", text_payload("10 PRINT \"HELLO\"\r", 600), {6, 0});
    return image;
}

test_image image_sample_d81() {
    test_image image = image_formatted_as(disk_format::d81, false, "FLOPPEEK 1581", "FP");
    image_add_file(image, 0, 0x82, "HELLO WORLD", text_payload("10 PRINT \"HELLO\"\r", 600));
    image_add_file(image, 1, 0x81, "LETTER", text_payload("dear 1581\r", 5000), {2, 0});
    for (int slot = 2; slot < 9; ++slot) { // the ninth slot opens a second directory sector
        image_add_file(image, slot, 0x82, "PART " + std::to_string(slot - 1),
                       text_payload("demo part", 254 * (slot + 10)), {3 + slot, 0});
    }
    // A partition: 120 sectors from 50/0 that the BAM marks used, no chain.
    test_entry partition{0x85, petscii_name("WORK AREA"), {50, 0}, 120};
    image_set_entry(image, 9, partition);
    for (int sector = 0; sector < 120; ++sector) {
        image_allocate(image, {50 + sector / 40, sector % 40});
    }
    return image;
}

test_image image_sample_art() {
    test_image image = image_formatted(35, false, "DIRECTORY ART", "DA");
    // A frame of the uppercase set's box drawing around the title: corners 0xB0,
    // 0xAE, 0xAD, 0xBD, lines 0x60 and 0x7D, a heart 0x73. Such entries are DEL
    // files of no blocks that the drive lists like any other.
    const std::string rows[] = {
        "\xB0" + std::string(14, '\x60') + "\xAE",
        "\x7D FLOPPEEK  \x73  \x7D",
        "\xAD" + std::string(14, '\x60') + "\xBD",
    };
    for (int slot = 0; slot < 3; ++slot) {
        test_entry entry;
        entry.type = 0x80;
        entry.name = petscii_name(rows[slot]);
        image_set_entry(image, slot, entry);
    }
    image_add_file(image, 3, 0x82, "HELLO", {1, 8, 0x99, 0x22, 0x48, 0x49, 0x22, 0});
    return image;
}

test_image image_sample_damaged() {
    test_image image = image_formatted(35, false, "DAMAGED DISK", "DD");
    std::vector<uint8_t> game(700);
    for (size_t i = 0; i < game.size(); ++i) {
        game[i] = static_cast<uint8_t>(i * 13);
    }
    const auto chain = image_add_file(image, 0, 0x82, "GAME", game, {17, 0});
    // INTRO's last sector was rewritten to run on into GAME's last sector.
    const auto intro = image_add_file(image, 1, 0x82, "INTRO", std::vector<uint8_t>(300, 0x20),
                                      {19, 0});
    image_link(image, intro.back(), chain.back().track, chain.back().sector);
    image_entry(image, 1)[30] = 3;
    // OLD NOTES was scratched, but its sectors stayed allocated and readable.
    image_add_file(image, 2, 0x81, "OLD NOTES", std::vector<uint8_t>(400, 'n'), {22, 0});
    image_entry(image, 2)[2] = 0x00;
    // Track 20's free count says one sector more than its bitmap frees.
    ++image_sector(image, {18, 0})[4 * 20];
    return image;
}
