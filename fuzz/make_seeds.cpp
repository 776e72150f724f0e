// Writes the seed corpora of the fuzz targets, made by the project's image and
// archive builders: make_seeds REPORTS_DIR PETSCII_DIR ARCHIVE_DIR
#include "archive_builder.h"
#include "container_writer.h"
#include "fuzz_input.h"
#include "gcr_writer.h"
#include "image_builder.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

bool write(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    return std::fclose(file) == 0;
}

// The rotated image without its trailing zeros, which the target restores.
std::vector<uint8_t> seed_of(const test_image& image) {
    std::vector<uint8_t> input = fuzz_input_from_image(image.bytes);
    while (input.size() > 1 && input.back() == 0) {
        input.pop_back();
    }
    return input;
}

std::vector<test_image> seed_images() {
    std::vector<test_image> images;
    images.push_back(image_sample());
    images.push_back(image_blank(35, false));

    test_image wide = image_formatted(40, false, "FORTY", "40");
    image_add_file(wide, 0, 0x82, "ON TRACK 36", std::vector<uint8_t>(600, 0x36), {36, 0});
    images.push_back(wide);

    test_image full = image_formatted(42, true, "FULL DIRECTORY", "FD");
    for (int slot = 0; slot < 144; ++slot) {
        const uint8_t types[] = {0x82, 0x81, 0x02, 0xC2, 0x00, 0x45, 0x80, 0x84};
        image_add_file(full, slot, types[slot % 8], "F" + std::to_string(slot), {1, 2, 3}, {19, 0},
                       3);
    }
    image_set_error(full, {19, 0}, 5);
    images.push_back(full);

    test_image broken = image_formatted(35, false, "BROKEN", "BR");
    const auto looping =
        image_add_file(broken, 0, 0x82, "LOOP", std::vector<uint8_t>(600, 1), {19, 0});
    image_link(broken, looping.back(), looping.front().track, looping.front().sector);
    const auto off_disk =
        image_add_file(broken, 1, 0x82, "OFF", std::vector<uint8_t>(600, 2), {20, 0});
    image_link(broken, off_disk[1], 36, 0);
    const auto empty_last = image_add_file(broken, 2, 0x82, "EMPTY", {}, {21, 0});
    image_link(broken, empty_last.back(), 0, 0);
    image_link(broken, {18, 1}, 18, 1); // the directory loops on itself
    images.push_back(broken);

    test_image names = image_formatted(35, false, "\x0d\x80\xff\x7f", "\xa0\x00");
    image_set_every_byte_name(names);
    images.push_back(names);

    // A D71 with files on both sides and error codes; a D81 whose directory runs over
    // three sectors, with a partition and a chain that loops.
    test_image sides = image_formatted_as(disk_format::d71, true, "SIDES", "71");
    image_add_file(sides, 0, 0x82, "SIDE 2", std::vector<uint8_t>(600, 0x71), {36, 0});
    image_add_file(sides, 1, 0x81, "SIDE 1", std::vector<uint8_t>(300, 0x17), {19, 0});
    image_set_error(sides, {36, 0}, 5);
    images.push_back(sides);
    test_image big = image_formatted_as(disk_format::d81, false, "EIGHTY", "81");
    for (int slot = 0; slot < 20; ++slot) {
        image_add_file(big, slot, slot % 2 ? 0x81 : 0x82, "F" + std::to_string(slot), {1, 2, 3},
                       {41, 0});
    }
    test_entry partition{0x85, petscii_name("PART"), {50, 0}, 80};
    image_set_entry(big, 20, partition);
    const auto loop = image_add_file(big, 21, 0x82, "LOOP", std::vector<uint8_t>(600, 1), {42, 0});
    image_link(big, loop.back(), loop.front().track, loop.front().sector);
    images.push_back(big);

    // A D80 with a file over its zones and a second BAM sector's track; a D82 with a
    // file on side 2 whose chain leaves the disk, and a directory sector linking back.
    test_image d80 = image_formatted_as(disk_format::d80, false, "EIGHTY FIFTY", "80");
    image_add_file(d80, 0, 0x82, "ZONES", std::vector<uint8_t>(9000, 0x80), {52, 0});
    image_add_file(d80, 1, 0x81, "LAST TRACK", std::vector<uint8_t>(300, 0x08), {77, 0});
    images.push_back(d80);
    test_image d82 = image_formatted_as(disk_format::d82, false, "EIGHTY TWO FIFTY", "82");
    const auto far = image_add_file(d82, 0, 0x82, "SIDE 2", std::vector<uint8_t>(600, 1), {150, 0});
    image_link(d82, far[1], 155, 0);
    image_set_entry(d82, 8, test_entry{0x82, petscii_name("SECOND"), {1, 0}, 1});
    image_link(d82, {39, 2}, 39, 1);
    images.push_back(d82);
    return images;
}

// Archive seeds: the selector byte of fuzz_archive's names, then the archive.
std::vector<std::vector<uint8_t>> archive_seeds() {
    const test_image sample = image_sample();
    const std::string image(sample.bytes.begin(), sample.bytes.end());
    const std::vector<archive_member> members = {
        {"disk.d64", image}, {"notes.txt", "text"}, {"sub/short.d64", "short"}};
    const std::string inner = archive_pack(archive_kind::zip_deflated, members);
    const std::pair<uint8_t, std::string> seeds[] = {
        {0, archive_pack(archive_kind::zip_deflated, members)},
        {0, archive_pack(archive_kind::zip_stored, {{"inner.zip", inner}, {"disk.d64", image}})},
        {0, archive_pack(archive_kind::zip_encrypted, members)},
        {1, archive_pack(archive_kind::seven_zip, members)},
        {2, archive_pack(archive_kind::tar, members)},
        {3, archive_pack(archive_kind::tar_gz, members)},
        {5, archive_pack(archive_kind::gz, members)},
        {6, archive_pack(archive_kind::xz, members)},
    };
    std::vector<std::vector<uint8_t>> inputs;
    for (const auto& [selector, bytes] : seeds) {
        std::vector<uint8_t> input(bytes.size() + 1, selector);
        std::copy(bytes.begin(), bytes.end(), input.begin() + 1);
        inputs.push_back(input);
    }
    return inputs;
}

// An NB2 of the sample's first three tracks only: its table ends after them.
std::string nb2_of_three_tracks(const test_image& sample) {
    nib_options options;
    options.multi_pass = true;
    std::string file = gcr_write_nib(sample, {}, options);
    file[0x10 + 2 * 3] = '\0';
    file.resize(256 + 3 * 16 * 8192);
    return file;
}

// Raw dump seeds: the sample disk clean and with a fault of every kind, a 40-track
// disk, a G71 of a disk with files on both sides, one of its side-2 sectors damaged,
// and NIB and NB2 captures of the sample.
std::vector<std::string> g64_seeds() {
    const test_image sample = image_sample();
    test_image forty = image_formatted(40, false, "FORTY", "40");
    image_add_file(forty, 0, 0x82, "ON TRACK 36", std::vector<uint8_t>(600, 0x36), {36, 0});
    test_image sides = image_formatted_as(disk_format::d71, false, "G71", "71");
    image_add_file(sides, 0, 0x82, "ON SIDE 2", std::vector<uint8_t>(2000, 0x71), {60, 0});
    using fault = gcr_fault;
    return {
        gcr_write_g64(sample, {}, true),
        gcr_write_g64(sample, {{fault::data_checksum, {18, 1}},
                               {fault::header_checksum, {18, 4}},
                               {fault::missing_sector, {19, 0}},
                               {fault::missing_data_id, {20, 0}},
                               {fault::foreign_id, {1, 0}},
                               {fault::duplicate, {31, 2}},
                               {fault::no_syncs, {5, 0}},
                               {fault::no_data, {6, 0}},
                               {fault::over_the_end, {18, 10}},
                               {fault::unaligned, {17, 0}}}),
        gcr_write_g64(forty),
        gcr_write_g64(sides, {{fault::data_checksum, {60, 0}}, {fault::no_data, {40, 0}}}),
        gcr_write_nib(sample, {{fault::copies_differ, {18, 10}},
                               {fault::killer_track, {30, 0}},
                               {fault::data_checksum, {2, 0}},
                               {fault::unaligned, {17, 0}}}),
        nb2_of_three_tracks(sample),
    };
}

// DAT seeds: a Logiqx datafile, a software list and a ClrMamePro DAT of the same roms,
// with the oddities the readers skip.
std::vector<std::string> dat_seeds() {
    const std::string hashes = " size=\"174848\" crc=\"0C8E38C6\" sha1=\""
                               "0123456789abcdef0123456789abcdef01234567\"";
    return {
        "<?xml version=\"1.0\"?>\n<datafile><header><name>Seed</name></header>"
        "<game name=\"A\"><description>A</description><rom name=\"a.d64\"" +
            hashes +
            "/><rom name=\"b\" size=\"0x10\" crc=\"1\"/></game><rom name=\"lone\"/></datafile>\n",
        "<?xml version=\"1.0\"?>\n<softwarelist name=\"seed\"><software name=\"a\"><part "
        "name=\"flop1\"><dataarea name=\"flop\"><rom name=\"a.g64\"" +
            hashes + " status=\"baddump\"/></dataarea></part></software></softwarelist>\n",
        "clrmamepro (\n\tname \"Seed\"\n\tcomment \"(x) \\\"y\"\n)\ngame (\n\tname \"A\"\n\trom ( "
        "name "
        "a.d64 size 174848 crc 0C8E38C6 flags nodump )\n\tsample ( x ( y ) )\n)\n",
    };
}

// Container seeds: the first byte picks the name the rest is opened under (x.t64,
// x.tap, x.p00, x.prg, x.crt, ...).
std::vector<std::string> container_seeds() {
    const container_entry hello{"HELLO", 0x0801, std::vector<uint8_t>(500, 7), 0x82, {}};
    const container_entry world{"WORLD", 0xC000, std::vector<uint8_t>(300, 9), 0x82, 0xC3C6};
    tap_options tape;
    tape.faults = {{tap_fault::data_checksum_first, 1}};
    tape.turbo_pulses = 300;
    std::string shared = container_write_t64({hello, world, world});
    shared.replace(0x40 + 64 + 8, 4, shared.substr(0x40 + 8, 4));
    return {
        std::string(1, '\0') + container_write_t64({hello, world}),
        std::string(1, '\1') + container_write_tap({hello, world}, tape),
        std::string(1, '\2') + container_write_p00(hello),
        std::string(1, '\3') + container_write_prg(hello),
        std::string(1, '\4') +
            container_write_crt("CART", 0, 0, 1, {{0, 0, 0x8000, std::vector<uint8_t>(64, 1)}}),
        // Entries that share their data; a RAM chip's packet without data.
        std::string(1, '\0') + shared,
        std::string(1, '\4') + container_write_crt("RAM", 0, 0, 1, {}) +
            std::string("CHIP\0\0\0\x10\0\x01\0\0\xDE\0\x80\0", 16)};
}

bool write_all(const std::string& folder, const std::vector<std::vector<uint8_t>>& inputs) {
    for (size_t index = 0; index < inputs.size(); ++index) {
        if (!write(folder + "/seed" + std::to_string(index), inputs[index])) {
            return false;
        }
    }
    return true;
}

std::vector<std::vector<uint8_t>> as_bytes(const std::vector<std::string>& texts) {
    std::vector<std::vector<uint8_t>> inputs;
    for (const std::string& text : texts) {
        inputs.emplace_back(text.begin(), text.end());
    }
    return inputs;
}

} // namespace

// make_seeds SEED_DIR: the seeds of each target in SEED_DIR/<target>/.
int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s SEED_DIR\n", argv[0]);
        return 2;
    }
    const std::string seeds = argv[1];
    std::vector<std::vector<uint8_t>> reports;
    for (const test_image& image : seed_images()) {
        reports.push_back(seed_of(image));
    }
    const std::vector<std::vector<uint8_t>> fields = {
        {'D', 'E', 'M', 'O', 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0,
         0xA0},
        {'D',  'E',  'M',  'O',  0xA0, ',', '8', '1',  0xA0, 0xA0, 0xA0,
         0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 'A', 'B', 0xA0, '2',  'A'},
        {0x0D, 0x80, 0x00, 0x7F, 0xFF, 0xA0, 0x80, 0x41, 0xC1, 0x61, 0xE1},
    };
    const bool written = write_all(seeds + "/reports", reports) &&
                         write_all(seeds + "/petscii", fields) &&
                         write_all(seeds + "/archive", archive_seeds()) &&
                         write_all(seeds + "/g64", as_bytes(g64_seeds())) &&
                         write_all(seeds + "/dat", as_bytes(dat_seeds())) &&
                         write_all(seeds + "/container", as_bytes(container_seeds()));
    return written ? 0 : 1;
}
