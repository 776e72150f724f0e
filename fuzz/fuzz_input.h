// How a fuzz input becomes a disk image: the first byte picks one of the 22
// recognised image lengths (16 D64, 2 D71, 2 D81, a D80, a D82), the remaining bytes
// are laid into the image starting at the header sector (track 18, on a D81 track 40;
// on a D80 or D82 the BAM's first sector 38/0, the header 39/0 after it) and wrapping
// round to track 1, the rest stays zero. Short inputs thus reach the header, BAM and
// directory at once, and the data sectors after them that chains in them point to.
#ifndef FLOPPEEK_FUZZ_INPUT_H
#define FLOPPEEK_FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>
#include <vector>

inline constexpr size_t k_fuzz_lengths = 22;

// The accepted lengths: 35 to 42 tracks, then a D71 and a D81, without and with error
// codes, then a D80 and a D82.
inline size_t fuzz_image_size(uint8_t selector) {
    static constexpr size_t sizes[k_fuzz_lengths] = {
        174848, 175531, 179200, 179900, 183552, 184269, 187904, 188638,
        192256, 193007, 196608, 197376, 200960, 201745, 205312, 206114,
        349696, 351062, 819200, 822400, 533248, 1066496};
    return sizes[selector % k_fuzz_lengths];
}

// Track 18 sector 0; on a D81 track 40 sector 0; on a D80 or D82 track 38 sector 0
// (tracks 1-38 have 29 sectors each).
inline size_t fuzz_header_offset(size_t image_size) {
    if (image_size == 533248 || image_size == 1066496) {
        return 256 * 37 * 29;
    }
    return image_size >= 819200 ? 256 * 1560 : 256 * 357;
}

inline std::vector<uint8_t> fuzz_image_from_input(const uint8_t* data, size_t size) {
    if (size == 0) {
        return {};
    }
    std::vector<uint8_t> image(fuzz_image_size(data[0]), 0);
    const size_t length = size - 1 < image.size() ? size - 1 : image.size();
    const size_t header = fuzz_header_offset(image.size());
    for (size_t i = 0; i < length; ++i) {
        image[(header + i) % image.size()] = data[1 + i];
    }
    return image;
}

// The inverse, for seeds made from whole images: the selector, then the image from
// its header sector on, wrapped round.
inline std::vector<uint8_t> fuzz_input_from_image(const std::vector<uint8_t>& image) {
    std::vector<uint8_t> input{0};
    for (uint8_t selector = 0; selector < k_fuzz_lengths; ++selector) {
        if (fuzz_image_size(selector) == image.size()) {
            input[0] = selector;
        }
    }
    const size_t header = fuzz_header_offset(image.size());
    for (size_t i = 0; i < image.size(); ++i) {
        input.push_back(image[(header + i) % image.size()]);
    }
    return input;
}

#endif // FLOPPEEK_FUZZ_INPUT_H
