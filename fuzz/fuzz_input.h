// How a fuzz input becomes a disk image: the first byte picks one of the lengths the
// library recognises (every track count of every sector format, with and without
// error codes, as its format shapes give them), the remaining bytes are laid into the
// image starting at the format's first system track (the header's, or the BAM's when
// it comes first) and wrapping round to track 1, the rest stays zero. Short inputs
// thus reach the header, BAM and directory at once, and the data sectors after them
// that chains in them point to.
#ifndef FLOPPEEK_FUZZ_INPUT_H
#define FLOPPEEK_FUZZ_INPUT_H

#include "trakvol.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// One recognised length: the image's size and where its first system track starts.
struct fuzz_length {
    size_t size;
    size_t system_offset;
};

inline const std::vector<fuzz_length>& fuzz_lengths() {
    static const std::vector<fuzz_length> lengths = [] {
        std::vector<fuzz_length> all;
        for (int32_t code = 0; code < D64_FORMAT_COUNT; ++code) {
            d64_format_shape shape{};
            uint64_t system = 0;
            if (!d64_get_format_shape(code, &shape) || shape.signature != nullptr ||
                !d64_get_track_offset(code, shape.first_system_track, &system)) {
                continue;
            }
            for (int32_t tracks = shape.min_tracks; tracks <= shape.max_tracks; ++tracks) {
                uint64_t size = 0;
                d64_get_track_offset(code, tracks + 1, &size);
                all.push_back({size, system});
                if (shape.error_bytes) {
                    all.push_back({size + size / 256, system});
                }
            }
        }
        return all;
    }();
    return lengths;
}

inline std::vector<uint8_t> fuzz_image_from_input(const uint8_t* data, size_t size) {
    if (size == 0) {
        return {};
    }
    const fuzz_length& length = fuzz_lengths()[data[0] % fuzz_lengths().size()];
    std::vector<uint8_t> image(length.size, 0);
    const size_t count = size - 1 < image.size() ? size - 1 : image.size();
    for (size_t i = 0; i < count; ++i) {
        image[(length.system_offset + i) % image.size()] = data[1 + i];
    }
    return image;
}

// The inverse, for seeds made from whole images: the selector, then the image from
// its first system track on, wrapped round.
inline std::vector<uint8_t> fuzz_input_from_image(const std::vector<uint8_t>& image) {
    std::vector<uint8_t> input{0};
    size_t system = 0;
    for (size_t selector = 0; selector < fuzz_lengths().size(); ++selector) {
        if (fuzz_lengths()[selector].size == image.size()) {
            input[0] = static_cast<uint8_t>(selector);
            system = fuzz_lengths()[selector].system_offset;
        }
    }
    for (size_t i = 0; i < image.size(); ++i) {
        input.push_back(image[(system + i) % image.size()]);
    }
    return input;
}

#endif // FLOPPEEK_FUZZ_INPUT_H
