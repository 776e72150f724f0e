#include "image_builder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int k_sector_bytes = 256;
constexpr int k_dir_track = 18;
constexpr int k_payload_per_sector = 254;
constexpr int k_header_name_offset = 144;
constexpr int k_header_id_offset = 162;
constexpr int k_d71_bam_track = 53;
constexpr int k_d71_side2_free_offset = 0xDD;
constexpr int k_d81_dir_track = 40;
constexpr int k_d81_bam_offset = 0x10;
// 8050 and 8250: header and directory on track 39, the BAM on 38: 5 bytes a track from
// byte 6, 50 tracks a BAM sector, the sectors 3 apart.
constexpr int k_d80_dir_track = 39;
constexpr int k_d80_bam_track = 38;
constexpr int k_d80_tracks_per_bam_sector = 50;

bool is_8050_family(const test_image& image) {
    return image.format == disk_format::d80 || image.format == disk_format::d82;
}

[[noreturn]] void builder_fail(const char* why) {
    std::fprintf(stderr, "image builder: %s\n", why);
    std::abort();
}

// Where the BAM keeps `track`: its free count byte and its bitmap.
struct bam_place {
    size_t free_count;
    size_t bitmap;
};

size_t sector_offset(const test_image& image, track_sector at) {
    int index = 0;
    for (int track = 1; track < at.track; ++track) {
        index += image_track_sectors(image, track);
    }
    return static_cast<size_t>(k_sector_bytes) * static_cast<size_t>(index + at.sector);
}

bam_place bam_entry(const test_image& image, int track) {
    switch (image.format) {
    case disk_format::d81: {
        const size_t entry = sector_offset(image, {k_d81_dir_track, track <= 40 ? 1 : 2}) +
                             k_d81_bam_offset + 6 * static_cast<size_t>((track - 1) % 40);
        return {entry, entry + 1};
    }
    case disk_format::d80:
    case disk_format::d82: {
        const int index = (track - 1) / k_d80_tracks_per_bam_sector;
        const size_t entry = sector_offset(image, {k_d80_bam_track, 3 * index}) + 6 +
                             5 * static_cast<size_t>((track - 1) % k_d80_tracks_per_bam_sector);
        return {entry, entry + 1};
    }
    case disk_format::d71:
        if (track > 35) {
            return {sector_offset(image, {k_dir_track, 0}) + k_d71_side2_free_offset +
                        static_cast<size_t>(track - 36),
                    sector_offset(image, {k_d71_bam_track, 0}) +
                        3 * static_cast<size_t>(track - 36)};
        }
        [[fallthrough]];
    case disk_format::d64:
        break;
    }
    const size_t entry = sector_offset(image, {k_dir_track, 0}) + 4 * static_cast<size_t>(track);
    return {entry, entry + 1};
}

int bitmap_bytes(const test_image& image) {
    return image.format == disk_format::d81 ? 5 : is_8050_family(image) ? 4 : 3;
}

bool is_directory_track(const test_image& image, int track) {
    switch (image.format) {
    case disk_format::d81:
        return track == k_d81_dir_track;
    case disk_format::d71:
        return track == k_dir_track || track == k_d71_bam_track;
    case disk_format::d80:
    case disk_format::d82:
        return track == k_d80_dir_track;
    case disk_format::d64:
        break;
    }
    return track == k_dir_track;
}

// First free sector of `track` at or after `sector`, wrapping round; -1 when full.
int free_sector_from(const test_image& image, int track, int sector) {
    const int count = image_track_sectors(image, track);
    for (int step = 0; step < count; ++step) {
        const int candidate = (sector + step) % count;
        if (image_is_free(image, {track, candidate})) {
            return candidate;
        }
    }
    return -1;
}

// The next sector of a chain: `interleave` on within the track, else the next track
// outward that has room, wrapping round to track 1 (the directory track is kept for
// the directory).
track_sector next_free(const test_image& image, track_sector from, int interleave) {
    for (int step = 0, first = from.sector + interleave; step < image.tracks; ++step, first = 0) {
        const int track = (from.track - 1 + step) % image.tracks + 1;
        if (is_directory_track(image, track)) {
            continue;
        }
        const int sector = free_sector_from(image, track, first);
        if (sector >= 0) {
            return {track, sector};
        }
    }
    builder_fail("disk full");
}

} // namespace

int image_sectors_of_track(int track) {
    return 21 - 2 * (track > 17) - (track > 24) - (track > 30);
}

int image_sector_count(int tracks) {
    int count = 0;
    for (int track = 1; track <= tracks; ++track) {
        count += image_sectors_of_track(track);
    }
    return count;
}

int image_track_sectors(const test_image& image, int track) {
    if (image.format == disk_format::d81) {
        return 40;
    }
    if (is_8050_family(image)) {
        const int on_side = (track - 1) % 77 + 1;
        return 29 - 2 * (on_side > 39) - 2 * (on_side > 53) - 2 * (on_side > 64);
    }
    return image_sectors_of_track(image.format == disk_format::d71 && track > 35 ? track - 35
                                                                                 : track);
}

int image_total_sectors(const test_image& image) {
    return static_cast<int>(sector_offset(image, {image.tracks + 1, 0}) / k_sector_bytes);
}

size_t image_sector_data_size(int tracks) {
    return static_cast<size_t>(k_sector_bytes) * static_cast<size_t>(image_sector_count(tracks));
}

test_image image_blank(int tracks, bool with_error_block) {
    test_image image;
    image.tracks = tracks;
    image.has_error_block = with_error_block;
    image.bytes.assign(image_sector_data_size(tracks), 0);
    if (with_error_block) {
        image.bytes.resize(image.bytes.size() + static_cast<size_t>(image_sector_count(tracks)), 1);
    }
    return image;
}

test_image image_formatted(int tracks, bool with_error_block, std::string_view name,
                           std::string_view id) {
    test_image image = image_blank(tracks, with_error_block);
    uint8_t* header = image_sector(image, {k_dir_track, 0});
    header[0] = k_dir_track; // the directory starts at 18/1
    header[1] = 1;
    header[2] = 0x41; // DOS version "A"
    for (int track = 1; track <= std::min(tracks, 35); ++track) {
        const int count = image_sectors_of_track(track);
        image_set_bam_entry(image, track, static_cast<uint8_t>(count), (1U << count) - 1);
    }
    const auto padded_name = petscii_name(name);
    std::copy(padded_name.begin(), padded_name.end(), header + k_header_name_offset);
    header[160] = header[161] = k_shifted_space_byte;
    const auto padded_id = petscii_name(id);
    std::copy(padded_id.begin(), padded_id.begin() + 2, header + k_header_id_offset);
    header[164] = k_shifted_space_byte;
    header[165] = '2';
    header[166] = 'A';
    std::fill(header + 167, header + 171, k_shifted_space_byte);
    image_allocate(image, {k_dir_track, 0});
    image_allocate(image, {k_dir_track, 1});
    image_link(image, {k_dir_track, 1}, 0, 0xFF);
    return image;
}

namespace {

// Header 39/0 links to the first BAM sector; each BAM sector links to the next and the
// last to the directory at 39/1, and says in bytes 4 and 5 which tracks it covers.
void format_8050_family(test_image& image, const std::array<uint8_t, 16>& name,
                        const std::array<uint8_t, 16>& id) {
    uint8_t* header = image_sector(image, {k_d80_dir_track, 0});
    header[0] = k_d80_bam_track;
    header[1] = 0;
    header[2] = 'C';
    std::copy(name.begin(), name.end(), header + 0x06);
    header[0x16] = header[0x17] = k_shifted_space_byte;
    std::copy(id.begin(), id.begin() + 2, header + 0x18);
    header[0x1A] = k_shifted_space_byte;
    header[0x1B] = '2';
    header[0x1C] = 'C';
    std::fill(header + 0x1D, header + 0x21, k_shifted_space_byte);
    const int bam_sectors = (image.tracks + k_d80_tracks_per_bam_sector - 1) /
                            k_d80_tracks_per_bam_sector;
    for (int index = 0; index < bam_sectors; ++index) {
        const track_sector at{k_d80_bam_track, 3 * index};
        uint8_t* bam = image_sector(image, at);
        const bool last = index + 1 == bam_sectors;
        bam[0] = static_cast<uint8_t>(last ? k_d80_dir_track : k_d80_bam_track);
        bam[1] = static_cast<uint8_t>(last ? 1 : 3 * (index + 1));
        bam[2] = 'C';
        bam[4] = static_cast<uint8_t>(1 + k_d80_tracks_per_bam_sector * index);
        bam[5] = static_cast<uint8_t>(
            std::min(image.tracks + 1, 1 + k_d80_tracks_per_bam_sector * (index + 1)));
        image_allocate(image, at);
    }
    image_allocate(image, {k_d80_dir_track, 0});
    image_allocate(image, {k_d80_dir_track, 1});
    image_link(image, {k_d80_dir_track, 1}, 0, 0xFF);
}

} // namespace

test_image image_formatted_as(disk_format format, bool with_error_block, std::string_view name,
                              std::string_view id) {
    if (format == disk_format::d64) {
        return image_formatted(35, with_error_block, name, id);
    }
    test_image image;
    image.format = format;
    image.tracks = format == disk_format::d81   ? 80
                   : format == disk_format::d80 ? 77
                   : format == disk_format::d82 ? 154
                                                : 70;
    if (is_8050_family(image) && with_error_block) {
        builder_fail("an 8050 or 8250 image has no error codes");
    }
    image.has_error_block = with_error_block;
    const auto sectors = static_cast<size_t>(image_total_sectors(image));
    image.bytes.assign(k_sector_bytes * sectors + (with_error_block ? sectors : 0), 0);
    std::fill(image.bytes.begin() + static_cast<std::ptrdiff_t>(k_sector_bytes * sectors),
              image.bytes.end(), 1);
    for (int track = 1; track <= image.tracks; ++track) {
        const int count = image_track_sectors(image, track);
        image_set_bam_entry(image, track, static_cast<uint8_t>(count), (uint64_t{1} << count) - 1);
    }
    const auto padded_name = petscii_name(name);
    const auto padded_id = petscii_name(id);
    if (format == disk_format::d71) {
        uint8_t* header = image_sector(image, {k_dir_track, 0});
        header[0] = k_dir_track;
        header[1] = 1;
        header[2] = 0x41;
        header[3] = 0x80; // double-sided
        std::copy(padded_name.begin(), padded_name.end(), header + k_header_name_offset);
        header[160] = header[161] = k_shifted_space_byte;
        std::copy(padded_id.begin(), padded_id.begin() + 2, header + k_header_id_offset);
        header[164] = k_shifted_space_byte;
        header[165] = '2';
        header[166] = 'A';
        image_allocate(image, {k_dir_track, 0});
        image_allocate(image, {k_dir_track, 1});
        image_allocate(image, {k_d71_bam_track, 0});
        image_link(image, {k_dir_track, 1}, 0, 0xFF);
        return image;
    }
    if (is_8050_family(image)) {
        format_8050_family(image, padded_name, padded_id);
        return image;
    }
    uint8_t* header = image_sector(image, {k_d81_dir_track, 0});
    header[0] = k_d81_dir_track; // the directory starts at 40/3
    header[1] = 3;
    header[2] = 'D';
    std::copy(padded_name.begin(), padded_name.end(), header + 0x04);
    header[0x14] = header[0x15] = k_shifted_space_byte;
    std::copy(padded_id.begin(), padded_id.begin() + 2, header + 0x16);
    header[0x18] = k_shifted_space_byte;
    header[0x19] = '3';
    header[0x1A] = 'D';
    header[0x1B] = header[0x1C] = k_shifted_space_byte;
    for (int bam = 1; bam <= 2; ++bam) {
        uint8_t* sector = image_sector(image, {k_d81_dir_track, bam});
        sector[2] = 'D';
        sector[3] = 0xBB;
        std::copy(padded_id.begin(), padded_id.begin() + 2, sector + 4);
        sector[6] = 0xC0;
    }
    image_link(image, {k_d81_dir_track, 1}, k_d81_dir_track, 2);
    image_link(image, {k_d81_dir_track, 2}, 0, 0xFF);
    image_link(image, {k_d81_dir_track, 3}, 0, 0xFF);
    for (int sector = 0; sector <= 3; ++sector) {
        image_allocate(image, {k_d81_dir_track, sector});
    }
    return image;
}

uint8_t* image_sector(test_image& image, track_sector at) {
    return const_cast<uint8_t*>(image_sector(static_cast<const test_image&>(image), at));
}

const uint8_t* image_sector(const test_image& image, track_sector at) {
    if (at.track < 1 || at.track > image.tracks || at.sector < 0 ||
        at.sector >= image_track_sectors(image, at.track)) {
        builder_fail("no such sector");
    }
    return image.bytes.data() + sector_offset(image, at);
}

void image_link(test_image& image, track_sector at, int next_track, int next_sector) {
    uint8_t* sector = image_sector(image, at);
    sector[0] = static_cast<uint8_t>(next_track);
    sector[1] = static_cast<uint8_t>(next_sector);
}

void image_set_bam_entry(test_image& image, int track, uint8_t free_count, uint64_t bitmap) {
    const bam_place entry = bam_entry(image, track);
    image.bytes[entry.free_count] = free_count;
    for (int i = 0; i < bitmap_bytes(image); ++i) {
        image.bytes[entry.bitmap + static_cast<size_t>(i)] =
            static_cast<uint8_t>(bitmap >> (8 * i));
    }
}

bool image_is_free(const test_image& image, track_sector at) {
    const size_t offset = bam_entry(image, at.track).bitmap + static_cast<size_t>(at.sector / 8);
    return (image.bytes[offset] >> (at.sector % 8)) & 1;
}

void image_allocate(test_image& image, track_sector at) {
    if (!image_is_free(image, at)) {
        return;
    }
    const bam_place entry = bam_entry(image, at.track);
    image.bytes[entry.bitmap + static_cast<size_t>(at.sector / 8)] &=
        static_cast<uint8_t>(~(1U << (at.sector % 8)));
    image.bytes[entry.free_count] = static_cast<uint8_t>(image.bytes[entry.free_count] - 1);
}

void image_set_error(test_image& image, track_sector at, uint8_t code) {
    if (!image.has_error_block) {
        builder_fail("image has no error block");
    }
    image_sector(image, at); // checks the address
    image.bytes[sector_offset(image, {image.tracks + 1, 0}) +
                sector_offset(image, at) / k_sector_bytes] = code;
}

std::array<uint8_t, 16> petscii_name(std::string_view text, uint8_t pad) {
    std::array<uint8_t, 16> name;
    name.fill(pad);
    std::copy_n(text.begin(), std::min<size_t>(text.size(), name.size()), name.begin());
    return name;
}

track_sector image_directory_sector(int slot) {
    // The drive fills track 18 with an interleave of 3: 1, 4, ..., 16, 2, 5, ..., 18.
    static constexpr int order[18] = {1,  4,  7,  10, 13, 16, 2,  5,  8,
                                      11, 14, 17, 3,  6,  9,  12, 15, 18};
    if (slot < 0 || slot >= 144) {
        builder_fail("directory slot out of range");
    }
    return {k_dir_track, order[slot / 8]};
}

track_sector image_directory_sector(const test_image& image, int slot) {
    if (is_8050_family(image)) {
        if (slot < 0 || slot >= 224) {
            builder_fail("directory slot out of range");
        }
        return {k_d80_dir_track, 1 + slot / 8};
    }
    if (image.format != disk_format::d81) {
        return image_directory_sector(slot);
    }
    // The 1581 fills its directory track in order from sector 3.
    if (slot < 0 || slot >= 296) {
        builder_fail("directory slot out of range");
    }
    return {k_d81_dir_track, 3 + slot / 8};
}

void image_set_entry(test_image& image, int slot, const test_entry& entry) {
    const track_sector dir = image_directory_sector(image, slot);
    for (int earlier = 8; earlier <= slot; earlier += 8) {
        // Each new directory sector is linked in behind the one before it.
        const track_sector added = image_directory_sector(image, earlier);
        if (image_is_free(image, added)) {
            image_link(image, image_directory_sector(image, earlier - 8), added.track,
                       added.sector);
            image_link(image, added, 0, 0xFF);
            image_allocate(image, added);
        }
    }
    uint8_t* bytes = image_sector(image, dir) + 32 * (slot % 8);
    bytes[2] = entry.type;
    bytes[3] = static_cast<uint8_t>(entry.first.track);
    bytes[4] = static_cast<uint8_t>(entry.first.sector);
    std::copy(entry.name.begin(), entry.name.end(), bytes + 5);
    bytes[30] = static_cast<uint8_t>(entry.blocks & 0xFF);
    bytes[31] = static_cast<uint8_t>(entry.blocks >> 8);
}

uint8_t* image_entry(test_image& image, int slot) {
    return image_sector(image, image_directory_sector(image, slot)) + 32 * (slot % 8);
}

std::vector<track_sector> image_add_rel_file(test_image& image, int slot, std::string_view name,
                                             const std::vector<uint8_t>& records,
                                             int record_length, track_sector start) {
    constexpr size_t k_pairs = 120;
    const std::vector<track_sector> data = image_write_chain(image, records, start);
    const size_t side_count = (data.size() + k_pairs - 1) / k_pairs;
    if (side_count > 6) {
        builder_fail("a 1541 relative file has at most 6 side sectors");
    }
    const std::vector<track_sector> sides = image_write_chain(
        image, std::vector<uint8_t>(side_count * k_payload_per_sector, 0), data.back());
    for (size_t i = 0; i < side_count; ++i) {
        uint8_t* side = image_sector(image, sides[i]);
        std::fill(side + 2, side + k_sector_bytes, 0);
        side[2] = static_cast<uint8_t>(i);
        side[3] = static_cast<uint8_t>(record_length);
        for (size_t j = 0; j < side_count; ++j) {
            side[4 + 2 * j] = static_cast<uint8_t>(sides[j].track);
            side[5 + 2 * j] = static_cast<uint8_t>(sides[j].sector);
        }
        const size_t pairs = std::min(k_pairs, data.size() - i * k_pairs);
        for (size_t j = 0; j < pairs; ++j) {
            side[16 + 2 * j] = static_cast<uint8_t>(data[i * k_pairs + j].track);
            side[17 + 2 * j] = static_cast<uint8_t>(data[i * k_pairs + j].sector);
        }
        if (i + 1 == side_count) {
            side[1] = static_cast<uint8_t>(15 + 2 * pairs); // the last byte in use
        }
    }
    test_entry entry{0x84, petscii_name(name), data.front(),
                     static_cast<uint16_t>(data.size() + side_count)};
    image_set_entry(image, slot, entry);
    uint8_t* bytes = image_entry(image, slot);
    bytes[21] = static_cast<uint8_t>(sides.front().track);
    bytes[22] = static_cast<uint8_t>(sides.front().sector);
    bytes[23] = static_cast<uint8_t>(record_length);
    return sides;
}

std::vector<track_sector> image_write_chain(test_image& image, const std::vector<uint8_t>& payload,
                                            track_sector start, int interleave) {
    std::vector<track_sector> chain;
    const size_t sectors =
        std::max<size_t>(1, (payload.size() + k_payload_per_sector - 1) / k_payload_per_sector);
    track_sector at = next_free(image, {start.track, start.sector - interleave}, interleave);
    for (size_t i = 0; i < sectors; ++i) {
        image_allocate(image, at);
        chain.push_back(at);
        if (i + 1 < sectors) {
            at = next_free(image, at, interleave);
        }
    }
    for (size_t i = 0; i < chain.size(); ++i) {
        uint8_t* sector = image_sector(image, chain[i]);
        const size_t begin = i * k_payload_per_sector;
        const size_t length = std::min<size_t>(k_payload_per_sector, payload.size() - begin);
        std::copy_n(payload.begin() + static_cast<std::ptrdiff_t>(begin), length, sector + 2);
        if (i + 1 < chain.size()) {
            image_link(image, chain[i], chain[i + 1].track, chain[i + 1].sector);
        } else {
            // The last sector's byte 1 is the offset of its last payload byte.
            image_link(image, chain[i], 0, static_cast<int>(length) + 1);
        }
    }
    return chain;
}

std::vector<track_sector> image_add_file(test_image& image, int slot, uint8_t type,
                                         std::string_view name, const std::vector<uint8_t>& payload,
                                         track_sector start, int interleave) {
    const std::vector<track_sector> chain = image_write_chain(image, payload, start, interleave);
    test_entry entry;
    entry.type = type;
    entry.name = petscii_name(name);
    entry.first = chain.front();
    entry.blocks = static_cast<uint16_t>(chain.size());
    image_set_entry(image, slot, entry);
    return chain;
}

void image_set_every_byte_name(test_image& image) {
    test_entry entry;
    for (int slot = 0; slot < 16; ++slot) {
        for (int i = 0; i < 16; ++i) {
            entry.name[static_cast<size_t>(i)] = static_cast<uint8_t>(slot * 16 + i);
        }
        image_set_entry(image, slot, entry);
    }
}

bool image_save(const test_image& image, const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written =
        std::fwrite(image.bytes.data(), 1, image.bytes.size(), file) == image.bytes.size();
    return std::fclose(file) == 0 && written;
}
