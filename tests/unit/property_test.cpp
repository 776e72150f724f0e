// Seeded random and mutated images: every report must finish and keep its
// properties (printable output, at most 144 entries, bounded chain counts).
#include "report_checks.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <random>

namespace {

constexpr size_t k_header_offset = 256 * 357;

std::vector<test_image> base_images() {
    std::vector<test_image> images = {image_sample(), image_formatted(42, true, "BASE", "42")};
    test_image full = image_formatted(35, false, "FULL", "01");
    for (int slot = 0; slot < 144; ++slot) {
        image_add_file(full, slot, static_cast<uint8_t>(0x80 | (slot % 5)), "F", {1, 2, 3}, {19, 0},
                       3);
    }
    images.push_back(full);
    test_image looping = image_formatted(35, false, "LOOP", "01");
    for (int slot = 0; slot < 8; ++slot) {
        image_add_file(looping, slot, 0x82, "SELF", std::vector<uint8_t>(300, 1), {19, 0});
    }
    image_link(looping, {19, 0}, 19, 0);
    image_link(looping, {18, 1}, 18, 1);
    images.push_back(looping);
    return images;
}

} // namespace

TEST(properties, hold_on_random_and_mutated_images) {
    std::mt19937 random(20261208);
    const auto below = [&random](size_t limit) {
        return std::uniform_int_distribution<size_t>(0, limit - 1)(random);
    };
    const size_t sizes[] = {174848, 175531, 179200, 179900, 183552, 184269, 187904, 188638,
                            192256, 193007, 196608, 197376, 200960, 201745, 205312, 206114};
    const char* patterns[] = {"*", "?*", "[a-m]*", "\\", "*[", "f*", "\xa0*"};
    const std::vector<test_image> bases = base_images();

    for (int round = 0; round < 3000; ++round) {
        test_image image;
        if (round % 3 == 0) {
            // Random bytes throughout: the header, directory and every link are noise.
            image.bytes.resize(sizes[below(16)]);
            for (uint8_t& byte : image.bytes) {
                byte = static_cast<uint8_t>(random());
            }
        } else {
            // A valid image with a few bytes changed, most of them on track 18.
            image = bases[below(bases.size())];
            const size_t changes = 1 + below(40);
            for (size_t i = 0; i < changes; ++i) {
                const size_t at =
                    below(2) ? k_header_offset + below(19 * 256) : below(image.bytes.size());
                image.bytes[at] = static_cast<uint8_t>(random());
            }
        }
        const disk_ptr disk = open_disk(image);
        ASSERT_NE(disk, nullptr);
        EXPECT_EQ(report_check_failure(disk.get(), patterns[below(7)]), "") << "round " << round;
    }
}
