#include "container_writer.h"

#include <algorithm>

namespace {

void put_le(std::string& out, size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out[at + static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
    }
}

void put_be(std::string& out, size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out[at + static_cast<size_t>(i)] = static_cast<char>(value >> (8 * (bytes - 1 - i)));
    }
}

// ASCII letters as PETSCII capitals, padded with `pad` to `length`.
std::string petscii(const std::string& text, size_t length, char pad) {
    std::string out(length, pad);
    for (size_t i = 0; i < text.size() && i < length; ++i) {
        const char c = text[i];
        out[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
    }
    return out;
}

// The pulses of the standard recording, in the file's units of 8 cycles.
constexpr uint8_t k_short = 0x30;
constexpr uint8_t k_medium = 0x42;
constexpr uint8_t k_long = 0x56;

struct pulses {
    std::string bytes;
    int version = 1;
    void add(uint8_t value) {
        bytes += static_cast<char>(value);
    }
    void leader(int count) {
        bytes.append(static_cast<size_t>(count), static_cast<char>(k_short));
    }
    void pause() {
        add(0);
        if (version >= 1) {
            bytes += std::string("\x00\x00\x01", 3); // 65536 cycles
        }
    }
    // A byte: marker, 8 bits least significant first, odd parity (flipped when asked).
    void byte(uint8_t value, bool wrong_parity = false) {
        add(k_long);
        add(k_medium);
        int ones = 0;
        for (int bit = 0; bit < 8; ++bit) {
            const bool one = (value >> bit) & 1;
            ones += one ? 1 : 0;
            add(one ? k_medium : k_short);
            add(one ? k_short : k_medium);
        }
        const bool parity = (ones % 2 == 0) != wrong_parity;
        add(parity ? k_medium : k_short);
        add(parity ? k_short : k_medium);
    }
    // A block: countdown, payload, checksum, end marker.
    void block(const std::string& payload, bool repeat, bool wrong_checksum, bool wrong_parity,
               bool wrong_countdown = false) {
        for (int i = 0; i < 9; ++i) {
            byte(static_cast<uint8_t>((repeat ? 0x09 : 0x89) - i - (wrong_countdown && i == 3)));
        }
        uint8_t sum = 0;
        for (size_t i = 0; i < payload.size(); ++i) {
            byte(static_cast<uint8_t>(payload[i]), wrong_parity && i == 5);
            sum ^= static_cast<uint8_t>(payload[i]);
        }
        byte(wrong_checksum ? static_cast<uint8_t>(sum ^ 0xFF) : sum);
        add(k_long);
        add(k_short);
    }
};

bool planted(const tap_options& options, tap_fault what, int file) {
    return std::any_of(options.faults.begin(), options.faults.end(),
                       [&](const tap_planted& p) { return p.what == what && p.file == file; });
}

} // namespace

std::string container_write_t64(const std::vector<container_entry>& files, const std::string& name,
                                int spare_slots) {
    const size_t slots = files.size() + static_cast<size_t>(spare_slots);
    std::string out = "C64S tape image file";
    out.resize(0x40 + 32 * slots, '\0');
    put_le(out, 0x20, 0x0101, 2);
    put_le(out, 0x22, static_cast<uint32_t>(slots), 2);
    put_le(out, 0x24, static_cast<uint32_t>(files.size()), 2);
    out.replace(0x28, 24, petscii(name, 24, ' '));
    for (size_t i = 0; i < files.size(); ++i) {
        const container_entry& file = files[i];
        const size_t slot = 0x40 + 32 * i;
        out[slot] = 1;
        out[slot + 1] = static_cast<char>(file.type);
        put_le(out, slot + 2, file.load, 2);
        put_le(out, slot + 4,
               file.end.value_or(static_cast<uint16_t>(file.load + file.data.size())), 2);
        put_le(out, slot + 8, static_cast<uint32_t>(out.size()), 4);
        out.replace(slot + 16, 16, petscii(file.name, 16, ' '));
        out.append(file.data.begin(), file.data.end());
    }
    return out;
}

std::string container_write_p00(const container_entry& file, bool with_load_address) {
    std::string out = "C64File";
    out += '\0';
    out += petscii(file.name, 16, '\0');
    out += std::string(2, '\0');
    if (with_load_address) {
        out += static_cast<char>(file.load & 0xFF);
        out += static_cast<char>(file.load >> 8);
    }
    out.append(file.data.begin(), file.data.end());
    return out;
}

std::string container_write_prg(const container_entry& file) {
    std::string out{static_cast<char>(file.load & 0xFF), static_cast<char>(file.load >> 8)};
    out.append(file.data.begin(), file.data.end());
    return out;
}

std::string container_write_tap(const std::vector<container_entry>& files,
                                const tap_options& options) {
    pulses tape;
    tape.version = options.version;
    for (size_t i = 0; i < files.size(); ++i) {
        const container_entry& file = files[i];
        const int index = static_cast<int>(i);
        std::string header(192, ' ');
        header[0] = static_cast<char>(options.header_type);
        put_le(header, 1, file.load, 2);
        put_le(header, 3, file.end.value_or(static_cast<uint16_t>(file.load + file.data.size())),
               2);
        header.replace(5, 16, petscii(file.name, 16, ' '));
        const std::string data(file.data.begin(), file.data.end());
        tape.leader(400);
        tape.block(header, false, false, planted(options, tap_fault::header_parity_first, index),
                   planted(options, tap_fault::countdown_first, index));
        tape.leader(60);
        tape.block(header, true, false, false);
        tape.leader(200);
        tape.block(data, false,
                   planted(options, tap_fault::data_checksum_first, index) ||
                       planted(options, tap_fault::data_checksum_both, index),
                   false);
        tape.leader(60);
        tape.block(data, true, planted(options, tap_fault::data_checksum_both, index), false);
        tape.pause();
    }
    for (size_t i = 0; i < options.stray_bytes; ++i) {
        tape.byte(static_cast<uint8_t>(i));
    }
    // A turbo loader's data: pulses no standard byte is made of.
    for (size_t i = 0; i < options.turbo_pulses; ++i) {
        tape.add(i % 2 == 0 ? 0x20 : 0x2C);
    }
    std::string out = "C64-TAPE-RAW";
    out += static_cast<char>(options.version);
    out += std::string(3, '\0');
    out += std::string(4, '\0');
    put_le(out, 16, static_cast<uint32_t>(tape.bytes.size() + (options.wrong_length ? 1 : 0)), 4);
    return out + tape.bytes;
}

std::string container_write_crt(const std::string& name, int hardware_type, int exrom, int game,
                                const std::vector<crt_chip>& chips) {
    std::string out = "C64 CARTRIDGE   ";
    out.resize(0x40, '\0');
    put_be(out, 16, 0x40, 4);
    put_be(out, 20, 0x0100, 2);
    put_be(out, 22, static_cast<uint32_t>(hardware_type), 2);
    out[24] = static_cast<char>(exrom);
    out[25] = static_cast<char>(game);
    out.replace(32, std::min<size_t>(name.size(), 32), name.substr(0, 32));
    for (const crt_chip& chip : chips) {
        std::string packet = "CHIP";
        packet.resize(16, '\0');
        put_be(packet, 4, static_cast<uint32_t>(16 + chip.data.size()), 4);
        put_be(packet, 8, static_cast<uint32_t>(chip.type), 2);
        put_be(packet, 10, static_cast<uint32_t>(chip.bank), 2);
        put_be(packet, 12, chip.load, 2);
        put_be(packet, 14, static_cast<uint32_t>(chip.data.size()), 2);
        out += packet;
        out.append(chip.data.begin(), chip.data.end());
    }
    return out;
}
