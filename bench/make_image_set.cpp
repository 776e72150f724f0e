// Writes a folder of realistic full disks for the benchmark:
// make_image_set FOLDER COUNT [d81|d82|g64|nib|t64|tap|p00|prg|crt]
// Each is a 35-track image holding 25 PRG and SEQ files that fill the disk, chained
// at the drive's usual interleave of 10 (or a D81 holding 100 of them); every tenth
// carries error codes. With g64, the same 35-track disks as GCR track dumps; with nib,
// as nibtools captures. With t64, each disk's files in a tape container; with tap, a
// tape recording of one 8 KB program each; with p00 and prg, each disk's first file
// alone; with crt, a 16 KB cartridge of two chips.
#include "container_writer.h"
#include "gcr_writer.h"
#include "image_builder.h"
#include "trakvol.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

constexpr int k_payload_per_sector = 254;

struct disk_kind {
    disk_format format;
    int files;
    int free_sectors;
    const char* extension;
};

constexpr disk_kind k_d64{disk_format::d64, 25, 664, "d64"};
constexpr disk_kind k_d81{disk_format::d81, 100, 3160, "d81"};
constexpr disk_kind k_d82{disk_format::d82, 200, 4133, "d82"};

test_image full_disk(const disk_kind& kind, int index, std::mt19937& random) {
    // An 8250 image has no error codes.
    const bool with_errors = index % 10 == 0 && kind.format != disk_format::d82;
    test_image image =
        image_formatted_as(kind.format, with_errors, "DISK " + std::to_string(index), "BM");
    // Sizes that add up to nearly the whole disk: a few sectors stay free.
    const int k_files = kind.files;
    int remaining = kind.free_sectors - 4;
    for (int slot = 0; slot < k_files; ++slot) {
        // Around the average of what is left, leaving a sector for each file to come.
        const int left = k_files - slot;
        const int most = std::max(1, std::min(2 * remaining / left - 1, remaining - (left - 1)));
        const int sectors =
            left == 1 ? remaining : std::uniform_int_distribution<int>(1, most)(random);
        remaining -= sectors;
        std::vector<uint8_t> payload(static_cast<size_t>(sectors - 1) * k_payload_per_sector +
                                     std::uniform_int_distribution<size_t>(1, 254)(random));
        for (uint8_t& byte : payload) {
            byte = static_cast<uint8_t>(random());
        }
        const uint8_t type = slot % 4 == 3 ? 0x81 : 0x82; // one in four is SEQ
        image_add_file(image, slot, type, "FILE " + std::to_string(slot), payload,
                       kind.format == disk_format::d64 ? track_sector{17, 0} : track_sector{1, 0},
                       10);
    }
    if (with_errors) {
        image_set_error(image, {1, 0}, 5);
        image_set_error(image, {20, 3}, 2);
    }
    return image;
}

// Random bytes.
std::vector<uint8_t> noise(size_t count, std::mt19937& random) {
    std::vector<uint8_t> bytes(count);
    for (uint8_t& byte : bytes) {
        byte = static_cast<uint8_t>(random());
    }
    return bytes;
}

// The files of a full disk (its chains' payloads), as container entries.
std::vector<container_entry> files_of(const test_image& image) {
    std::vector<container_entry> files;
    d64_disk* disk = nullptr;
    d64_open_disk(&disk, image.bytes.data(), image.bytes.size(), nullptr);
    std::pair<d64_disk*, std::vector<container_entry>*> walk{disk, &files};
    d64_foreach_dir_entry(
        disk,
        [](const d64_dir_entry* entry, int32_t, void* context) {
            auto& into =
                *static_cast<std::pair<d64_disk*, std::vector<container_entry>*>*>(context);
            char* text = nullptr;
            size_t length = 0;
            FILE* stream = open_memstream(&text, &length);
            const bool whole = entry->type != 0 && d64_export_file(into.first, entry, stream);
            std::fclose(stream);
            if (whole && length >= 2) {
                const auto* bytes = reinterpret_cast<const uint8_t*>(text);
                container_entry file{"FILE",
                                     static_cast<uint16_t>(bytes[0] | bytes[1] << 8),
                                     std::vector<uint8_t>(bytes + 2, bytes + length),
                                     entry->type,
                                     {}};
                into.second->push_back(std::move(file));
            }
            std::free(text);
            return true;
        },
        &walk);
    d64_close_disk(disk);
    return files;
}

// A tape, container, loose file or cartridge of the variant, from the disk's files.
std::string container_of(const std::string& variant, const test_image& image,
                         std::mt19937& random) {
    if (variant == "tap") {
        return container_write_tap({{"PROGRAM", 0x0801, noise(8192, random), 0x82, {}}});
    }
    if (variant == "turbo") {
        // As commercial tapes are: a small loader in the standard recording, then a
        // turbo loader's pulses, nine times as many.
        tap_options options;
        options.turbo_pulses = 9 * 20 * (4 * (9 + 192 + 1) + 2 * (9 + 2048 + 1));
        return container_write_tap({{"LOADER", 0x0801, noise(2048, random), 0x82, {}}}, options);
    }
    if (variant == "crt") {
        return container_write_crt(
            "CARTRIDGE", 0, 0, 0,
            {{0, 0, 0x8000, noise(8192, random)}, {0, 0, 0xA000, noise(8192, random)}});
    }
    const std::vector<container_entry> files = files_of(image);
    return variant == "t64"   ? container_write_t64(files)
           : variant == "p00" ? container_write_p00(files.front())
                              : container_write_prg(files.front());
}

} // namespace

int main(int argc, char** argv) {
    const std::string variant = argc == 4 ? argv[3] : "";
    const bool dump = variant == "g64" || variant == "nib";
    const bool container = variant == "t64" || variant == "tap" || variant == "turbo" ||
                           variant == "p00" || variant == "prg" || variant == "crt";
    if (argc != 3 && !(argc == 4 && (variant == "d81" || variant == "d82" || dump || container))) {
        std::fprintf(stderr,
                     "usage: %s FOLDER COUNT [d81|d82|g64|nib|t64|tap|turbo|p00|prg|crt]\n",
                     argv[0]);
        return 2;
    }
    const int count = std::atoi(argv[2]);
    const disk_kind& kind = variant == "d81" ? k_d81 : variant == "d82" ? k_d82 : k_d64;
    std::mt19937 random(1541);
    for (int index = 0; index < count; ++index) {
        char name[32];
        std::snprintf(name, sizeof name, "/disk%05d.%s", index,
                      variant == "turbo"        ? "tap"
                      : dump || container ? variant.c_str()
                                          : kind.extension);
        const test_image image = full_disk(kind, index, random);
        if (dump || container) {
            const std::string bytes = variant == "g64"   ? gcr_write_g64(image)
                                      : variant == "nib" ? gcr_write_nib(image)
                                                         : container_of(variant, image, random);
            test_image file;
            file.bytes.assign(bytes.begin(), bytes.end());
            if (!image_save(file, argv[1] + std::string(name))) {
                std::fprintf(stderr, "cannot write %s%s\n", argv[1], name);
                return 1;
            }
            continue;
        }
        if (!image_save(image, argv[1] + std::string(name))) {
            std::fprintf(stderr, "cannot write %s%s\n", argv[1], name);
            return 1;
        }
    }
    return 0;
}
