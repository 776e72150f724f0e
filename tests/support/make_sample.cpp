// Writes the sample image that the README shows to the path given.
#include "image_builder.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.d64\n", argv[0]);
        return 2;
    }
    if (!image_save(image_sample(), argv[1])) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
