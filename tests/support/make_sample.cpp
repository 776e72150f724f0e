// Writes the sample image that the README shows, a 1581 sample beside it (the same
// name with ".d81"), and the small collection of its examples:
// make_sample OUTPUT.d64 [COLLECTION_FOLDER]
#include "image_builder.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s OUTPUT.d64 [COLLECTION_FOLDER]\n", argv[0]);
        return 2;
    }
    const std::string folder = argc == 3 ? argv[2] : "";
    std::string d81 = argv[1];
    d81 = d81.substr(0, d81.rfind('.')) + ".d81";
    const bool written =
        image_save(image_sample(), argv[1]) && image_save(image_sample_d81(), d81) &&
        (folder.empty() || (image_save(image_sample(), folder + "/sample.d64") &&
                            image_save(image_sample_companion(), folder + "/companion.d64")));
    if (!written) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
