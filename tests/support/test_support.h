// Small helpers shared by the unit tests.
#ifndef FLOPPEEK_TEST_SUPPORT_H
#define FLOPPEEK_TEST_SUPPORT_H

#include "image_builder.h"
#include "trakvol.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

using disk_ptr = std::unique_ptr<d64_disk, void (*)(d64_disk*)>;

// A handle over `image` (any format), which must outlive it; null when the length is
// not recognised.
inline disk_ptr open_disk(const test_image& image) {
    d64_disk* disk = nullptr;
    if (!d64_open_disk(&disk, image.bytes.data(), image.bytes.size(), nullptr)) {
        disk = nullptr;
    }
    return disk_ptr(disk, d64_close_disk);
}

// Bytes as lowercase hexadecimal digits, two per byte (16 bytes: an MD5 digest).
inline std::string hex(const uint8_t* bytes, unsigned length = 16) {
    std::string text;
    char pair[3];
    for (unsigned i = 0; i < length; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        text += pair;
    }
    return text;
}

// CRC-32 as zip and DAT files use it (reflected polynomial 0xEDB88320), bit by bit.
inline uint32_t crc32_of(const uint8_t* bytes, size_t size) {
    uint32_t crc = 0xFFFFFFFF;
    for (size_t i = 0; i < size; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320U & (0U - (crc & 1U)));
        }
    }
    return ~crc;
}

// Everything `print` writes to the stream it is given.
template <class Print> std::string capture_stream(Print&& print) {
    char* text = nullptr;
    size_t length = 0;
    FILE* stream = open_memstream(&text, &length);
    print(stream);
    std::fclose(stream);
    std::string result(text, length);
    std::free(text);
    return result;
}

#endif // FLOPPEEK_TEST_SUPPORT_H
