// Writes the sample image that the README shows, a 1581 sample, a damaged G64 and a
// NIB beside it (the same name with ".d81", ".g64" and ".nib"), a tape container with a
// wrong end address, a tape recording and a cartridge (".t64", ".tap", ".crt"), a disk
// with directory art
// ("art.d64"), a damaged disk ("damaged.d64"), and the small collection of its examples:
// make_sample OUTPUT.d64 [COLLECTION_FOLDER]; with the folder, also a ClrMamePro DAT
// and a software list of its disks beside it (FOLDER.cmpro.dat, FOLDER.softlist.xml).
#include "container_writer.h"
#include "gcr_writer.h"
#include "image_builder.h"
#include "test_support.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct known_disk {
    const char* game;
    const char* file;
    test_image image;
};

// The size and CRC-32 of a disk as a DAT's rom gives them: "size 174848 crc 1a2b3c4d".
std::string size_and_crc(const test_image& image, const char* separator, const char* quote) {
    char crc[9];
    std::snprintf(crc, sizeof crc, "%08x", crc32_of(image.bytes.data(), image.bytes.size()));
    return std::string("size") + separator + quote + std::to_string(image.bytes.size()) + quote +
           " crc" + separator + quote + crc + quote;
}

// A program and a routine at $C000 whose T64 entry claims the converters' wrong end
// address 0xC3C6, on a tape container, on a tape (the routine's
// first data copy damaged, a turbo loader's pulses after it) and the routine in a
// cartridge's ROM.
bool write_tapes(const std::string& stem) {
    std::vector<uint8_t> routine(700);
    for (size_t i = 0; i < routine.size(); ++i) {
        routine[i] = static_cast<uint8_t>(i * 13 + 7);
    }
    const container_entry program{"HELLO WORLD", 0x0801, std::vector<uint8_t>(400, 0x2A), 0x82, {}};
    const container_entry fast{"FASTLOAD", 0xC000, routine, 0x82, uint16_t{0xC3C6}};
    tap_options recording;
    recording.faults = {{tap_fault::data_checksum_first, 1}};
    recording.turbo_pulses = 12000;
    std::ofstream(stem + ".t64", std::ios::binary)
        << container_write_t64({program, fast}, "SAMPLE TAPE");
    std::ofstream(stem + ".tap", std::ios::binary)
        << container_write_tap({program, fast}, recording);
    std::vector<uint8_t> rom(8192, 0xEA);
    std::copy(routine.begin(), routine.end(), rom.begin() + 9);
    std::ofstream(stem + ".crt", std::ios::binary)
        << container_write_crt("SAMPLE CART", 0, 0, 1, {{0, 0, 0x8000, rom}});
    return std::ifstream(stem + ".crt").good();
}

bool write_dats(const std::string& folder) {
    const std::vector<known_disk> disks = {
        {"Companion Disk", "companion.d64", image_sample_companion()},
        {"Sample Disk", "sample.d64", image_sample()}};
    std::string cmpro = "clrmamepro (\n\tname \"Samples, ClrMamePro\"\n\tdescription \"The sample "
                        "disks\"\n)\n";
    std::string list = "<?xml version=\"1.0\"?>\n<softwarelist name=\"samples\" "
                       "description=\"The sample disks\">\n";
    for (const known_disk& disk : disks) {
        cmpro += std::string("\ngame (\n\tname \"") + disk.game + "\"\n\tdescription \"" +
                 disk.game + " (1985)(floppeek)\"\n\trom ( name " + disk.file + " " +
                 size_and_crc(disk.image, " ", "") + " )\n)\n";
        list += std::string("\t<software name=\"") + disk.game + "\">\n\t\t<description>" +
                disk.game +
                "</description>\n\t\t<part name=\"flop1\" interface=\"floppy_5_25\">"
                "\n\t\t\t<dataarea name=\"flop\" size=\"" +
                std::to_string(disk.image.bytes.size()) + "\">\n\t\t\t\t<rom name=\"" + disk.file +
                "\" " + size_and_crc(disk.image, "=", "\"") +
                "/>\n\t\t\t</dataarea>\n\t\t</part>\n\t</software>\n";
    }
    std::ofstream(folder + ".cmpro.dat") << cmpro;
    std::ofstream(folder + ".softlist.xml") << list << "</softwarelist>\n";
    return std::ifstream(folder + ".softlist.xml").good();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s OUTPUT.d64 [COLLECTION_FOLDER]\n", argv[0]);
        return 2;
    }
    const std::string folder = argc == 3 ? argv[2] : "";
    const std::string stem = std::string(argv[1]).substr(0, std::string(argv[1]).rfind('.'));
    // The companion disk as a drive's track dump, with a sector of a file that fails
    // its data checksum, a sector without header and one with another disk's id.
    const std::string g64 = gcr_write_g64(image_sample_companion(),
                                          {{gcr_fault::data_checksum, {2, 10}},
                                           {gcr_fault::missing_sector, {2, 5}},
                                           {gcr_fault::foreign_id, {3, 0}}});
    test_image g64_file;
    g64_file.bytes.assign(g64.begin(), g64.end());
    // The same disk as a nibtools capture: a sector whose two copies differ (weak
    // bits), and a track its reader marked a killer track.
    const std::string nib =
        gcr_write_nib(image_sample_companion(),
                      {{gcr_fault::copies_differ, {18, 10}}, {gcr_fault::killer_track, {30, 0}}});
    test_image nib_file;
    nib_file.bytes.assign(nib.begin(), nib.end());
    const bool written =
        image_save(image_sample(), argv[1]) && image_save(image_sample_d81(), stem + ".d81") &&
        image_save(g64_file, stem + ".g64") && image_save(nib_file, stem + ".nib") &&
        write_tapes(stem) &&
        image_save(image_sample_art(), stem.substr(0, stem.rfind('/') + 1) + "art.d64") &&
        image_save(image_sample_damaged(), stem.substr(0, stem.rfind('/') + 1) + "damaged.d64") &&
        (folder.empty() ||
         (image_save(image_sample(), folder + "/sample.d64") &&
          image_save(image_sample_companion(), folder + "/companion.d64") && write_dats(folder)));
    if (!written) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
