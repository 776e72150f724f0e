// Writes the sample image that the README shows, a 1581 sample, a damaged G64 and a
// NIB beside it (the same name with ".d81", ".g64" and ".nib"), a disk with directory art
// ("art.d64"), a damaged disk ("damaged.d64"), and the small collection of its examples:
// make_sample OUTPUT.d64 [COLLECTION_FOLDER]
#include "gcr_writer.h"
#include "image_builder.h"

#include <cstdio>
#include <string>

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
        image_save(image_sample_art(), stem.substr(0, stem.rfind('/') + 1) + "art.d64") &&
        image_save(image_sample_damaged(), stem.substr(0, stem.rfind('/') + 1) + "damaged.d64") &&
        (folder.empty() || (image_save(image_sample(), folder + "/sample.d64") &&
                            image_save(image_sample_companion(), folder + "/companion.d64")));
    if (!written) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
