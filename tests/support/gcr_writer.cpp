#include "gcr_writer.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr int k_entries = 84;
constexpr int k_max_track_size = 7928;
// Track lengths of the four speed zones, outermost first.
constexpr int k_zone_lengths[4] = {7692, 7142, 6666, 6250};
constexpr uint8_t k_codes[16] = {0x0A, 0x0B, 0x12, 0x13, 0x0E, 0x0F, 0x16, 0x17,
                                 0x09, 0x19, 0x1A, 0x1B, 0x0D, 0x1D, 0x1E, 0x15};

struct bit_writer {
    std::vector<uint8_t> bytes;
    size_t bits = 0;
    void put(uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            if (bits % 8 == 0) {
                bytes.push_back(0);
            }
            bytes.back() |= static_cast<uint8_t>(((value >> i) & 1U) << (7 - bits % 8));
            ++bits;
        }
    }
    void raw(uint8_t byte, int count) {
        for (int i = 0; i < count; ++i) {
            put(byte, 8);
        }
    }
    void gcr(const std::vector<uint8_t>& block) {
        for (uint8_t byte : block) {
            put(k_codes[byte >> 4], 5);
            put(k_codes[byte & 0x0F], 5);
        }
    }
};

// The speed zone of a track, 0 outermost; a 1571's side 2 repeats side 1's.
int zone_of(int track) {
    const int on_side = (track - 1) % 35 + 1;
    return (on_side > 17) + (on_side > 24) + (on_side > 30);
}

bool planted(const std::vector<planted_fault>& faults, gcr_fault what, track_sector at,
             bool whole_track) {
    return std::any_of(faults.begin(), faults.end(), [&](const planted_fault& fault) {
        return fault.what == what && fault.at.track == at.track &&
               (whole_track || fault.at.sector == at.sector);
    });
}

void write_sector(bit_writer& out, const test_image& image, track_sector at,
                  const std::vector<planted_fault>& faults, uint8_t flip = 0) {
    const uint8_t* header = image.bytes.data() + 256 * 357;
    uint8_t id2 = header[163];
    uint8_t id1 = header[162];
    if (planted(faults, gcr_fault::foreign_id, at, false)) {
        id1 ^= 0x40;
    }
    const auto track =
        static_cast<uint8_t>(at.track + (planted(faults, gcr_fault::other_track, at, false) ? 1 : 0));
    const auto sector = static_cast<uint8_t>(at.sector);
    uint8_t checksum = sector ^ track ^ id2 ^ id1;
    if (planted(faults, gcr_fault::header_checksum, at, false)) {
        checksum ^= 0x01;
    }
    out.raw(0xFF, 5);
    out.gcr({0x08, checksum, sector, track, id2, id1, 0x0F, 0x0F});
    out.raw(0x55, 9);
    std::vector<uint8_t> data{planted(faults, gcr_fault::missing_data_id, at, false) ? uint8_t{0}
                                                                                      : uint8_t{7}};
    const uint8_t* bytes = image_sector(image, at);
    data.insert(data.end(), bytes, bytes + 256);
    data[1] ^= flip; // another copy of the sector, with its own right checksum
    uint8_t sum = 0;
    for (size_t i = 1; i < data.size(); ++i) {
        sum ^= data[i];
    }
    if (planted(faults, gcr_fault::data_checksum, at, false)) {
        sum ^= 0xFF;
    }
    data.push_back(sum);
    data.push_back(0);
    data.push_back(0);
    out.raw(0xFF, 5);
    out.gcr(data);
    out.raw(0x55, 8);
}

std::vector<uint8_t> write_track(const test_image& image, int track,
                                 const std::vector<planted_fault>& faults,
                                 bool second_revolution = false) {
    bit_writer out;
    size_t turn = 0;
    for (int sector = 0; sector < image_track_sectors(image, track); ++sector) {
        const track_sector at{track, sector};
        // A sector's header block runs from byte 5 to 14, its data block from 29 to 354.
        if (planted(faults, gcr_fault::over_the_end, at, false)) {
            turn = out.bytes.size() + 200;
        }
        if (planted(faults, gcr_fault::header_over_the_end, at, false)) {
            turn = out.bytes.size() + 10;
        }
        if (planted(faults, gcr_fault::data_at_the_start, at, false)) {
            turn = out.bytes.size() + 29;
        }
        if (planted(faults, gcr_fault::missing_sector, at, false)) {
            out.raw(0x55, 362);
            continue;
        }
        const bool other =
            second_revolution && planted(faults, gcr_fault::copies_differ, at, false);
        write_sector(out, image, at, faults, other ? 0x5A : 0);
        if (planted(faults, gcr_fault::duplicate, at, false)) {
            write_sector(out, image, at, {});
        }
    }
    if (planted(faults, gcr_fault::sync_across_end, {track, 0}, true)) {
        turn = 4; // one of the first sync's five 0xFF bytes stays at the start
    }
    const int zone = zone_of(track);
    out.bytes.resize(std::max<size_t>(out.bytes.size(), k_zone_lengths[zone]), 0x55);
    std::vector<uint8_t> bytes = out.bytes;
    if (planted(faults, gcr_fault::no_syncs, {track, 0}, true)) {
        std::replace(bytes.begin(), bytes.end(), uint8_t{0xFF}, uint8_t{0x55});
    }
    std::rotate(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(turn), bytes.end());
    if (planted(faults, gcr_fault::unaligned, {track, 0}, true)) {
        // Every bit 3 places on, round the circle.
        std::vector<uint8_t> shifted(bytes.size());
        for (size_t i = 0; i < bytes.size(); ++i) {
            const uint8_t before = bytes[(i + bytes.size() - 1) % bytes.size()];
            shifted[i] = static_cast<uint8_t>(bytes[i] >> 3 | before << 5);
        }
        bytes = shifted;
    }
    return bytes;
}

void put_le(std::string& out, size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out[at + static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
    }
}

} // namespace

std::string gcr_write_g64(const test_image& image, const std::vector<planted_fault>& faults,
                          bool with_half_track) {
    // A 1571's dump has room for two sides of 84 entries; side 2 from entry 84.
    const bool two_sides = image.format == disk_format::d71;
    const int entries = two_sides ? 2 * k_entries : k_entries;
    std::string file = two_sides ? "GCR-1571" : "GCR-1541";
    file += '\0';
    file += static_cast<char>(entries);
    file.resize(12 + 8 * static_cast<size_t>(entries));
    put_le(file, 10, k_max_track_size, 2);
    for (int track = 1; track <= image.tracks; ++track) {
        const std::vector<uint8_t> bytes = write_track(image, track, faults);
        const size_t entry =
            track > 35 && two_sides ? k_entries + 2 * (track - 36) : 2 * (track - 1);
        put_le(file, 12 + 4 * static_cast<size_t>(entries) + 4 * entry,
               static_cast<uint32_t>(3 - zone_of(track)), 4);
        if (planted(faults, gcr_fault::no_data, {track, 0}, true)) {
            continue;
        }
        const auto offset = static_cast<uint32_t>(file.size());
        put_le(file, 12 + 4 * entry, offset, 4);
        if (track == 1 && with_half_track) {
            put_le(file, 12 + 4, offset, 4);
        }
        file.resize(file.size() + 2);
        put_le(file, offset, static_cast<uint32_t>(bytes.size()), 2);
        file.append(bytes.begin(), bytes.end());
    }
    return file;
}

namespace {

constexpr size_t k_nib_header = 256;
constexpr size_t k_nib_pass = 8192;

// 8192 bytes of the track read from `start` on, round the circle: its first
// revolution as written, the later ones with the copies a second revolution holds.
std::vector<uint8_t> capture(const test_image& image, int track,
                             const std::vector<planted_fault>& faults, size_t start) {
    const std::vector<uint8_t> first = write_track(image, track, faults);
    const std::vector<uint8_t> later = write_track(image, track, faults, true);
    start %= first.size();
    std::vector<uint8_t> bytes(k_nib_pass);
    for (size_t i = 0; i < k_nib_pass; ++i) {
        const size_t at = (start + i) % first.size();
        bytes[i] = (start + i) / first.size() == 0 ? first[at] : later[at];
    }
    return bytes;
}

} // namespace

std::string gcr_write_nib(const test_image& image, const std::vector<planted_fault>& faults,
                          const nib_options& options) {
    std::string file = "MNIB-1541-RAW";
    file += '\x03';
    file.resize(k_nib_header, '\0');
    std::string data;
    size_t entry = 0;
    const auto add_entry = [&](int track, uint8_t density) {
        if (!options.empty_table) {
            file[0x10 + 2 * entry] = static_cast<char>(2 * track);
            file[0x11 + 2 * entry] = static_cast<char>(density);
        }
        ++entry;
        const bool killer = planted(faults, gcr_fault::killer_track, {track, 0}, true);
        // A different point of the circle for each track, and for each pass.
        const int passes = options.multi_pass ? 16 : 1;
        for (int pass = 0; pass < passes; ++pass) {
            const bool at_density = !options.multi_pass || pass / 4 == (density & 3);
            std::vector<uint8_t> bytes(k_nib_pass, 0x55); // the other densities: no sync
            if (killer) {
                bytes.assign(k_nib_pass, 0xFF);
            } else if (at_density) {
                std::vector<planted_fault> pass_faults = faults;
                const std::vector<planted_fault>& more =
                    pass % 4 == 0 ? options.first_pass_faults : options.later_pass_faults;
                if (options.multi_pass) {
                    pass_faults.insert(pass_faults.end(), more.begin(), more.end());
                }
                bytes = capture(image, track, pass_faults, 977 * track + 331 * (pass % 4));
            }
            data.append(bytes.begin(), bytes.end());
        }
    };
    for (int track = 1; track <= image.tracks; ++track) {
        if (planted(faults, gcr_fault::no_data, {track, 0}, true)) {
            continue;
        }
        const int zone = zone_of(track);
        const bool killer = planted(faults, gcr_fault::killer_track, {track, 0}, true);
        add_entry(track, static_cast<uint8_t>((3 - zone) | (killer ? 0x80 : 0)));
    }
    if (options.track_named_twice) {
        add_entry(1, 3);
    }
    file += data;
    file.resize(file.size() - std::min(options.cut, file.size()));
    return file;
}
