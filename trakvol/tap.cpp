// TAP: a tape's recording as the length of each pulse, and the files of its standard
// (KERNAL) recording read back: header and data blocks, each recorded twice. Pulses
// of no standard block (a turbo loader's data) are counted, not read.
#include "container.h"

#include <cstdlib>
#include <cstring>

namespace {

// Bytes 0-11 "C64-TAPE-RAW" (or "C16-TAPE-RAW"), 12 the version, 13 the machine, 14
// the video standard, 16-19 the data's length; then a byte per pulse: n > 0 is 8n
// clock cycles; 0 an overflow, a pause (versions 1 and 2: the next three bytes give
// its cycles). Version 2 stores half-waves, as a C16 records them.
constexpr uint64_t k_header = 20;
constexpr const char* k_signatures[] = {"C64-TAPE-RAW", "C16-TAPE-RAW"};
constexpr int32_t k_half_waves_version = 2;

// Pulse classes, in the file's units of 8 cycles: anything else ends a block; a pause
// (an overflow) is no pulse of any recording.
enum pulse : uint8_t { k_other = 0, k_short = 1, k_medium = 2, k_long = 3, k_pause = 4 };
struct pulse_class {
    uint8_t lowest;
    uint8_t highest;
    pulse kind;
};
constexpr pulse_class k_classes[] = {
    {0x24, 0x36, k_short}, {0x37, 0x49, k_medium}, {0x4A, 0x64, k_long}};

constexpr auto make_class_table() {
    struct {
        uint8_t of[256];
    } table{};
    for (const pulse_class& row : k_classes) {
        for (int value = row.lowest; value <= row.highest; ++value) {
            table.of[value] = row.kind;
        }
    }
    return table;
}
constexpr auto k_class_of = make_class_table();

// A byte: a new-data marker (long, medium), 8 data bits least significant first and
// an odd-parity bit, each bit a pair: (short, medium) 0, (medium, short) 1.
constexpr int32_t k_pulses_per_byte = 20;
// A block: a leader of short pulses, a countdown of 9 bytes (0x89 down to 0x81, or
// 0x09 down to 0x01 in the repeat), the payload, its XOR, an end marker (long, short).
constexpr int32_t k_countdown = 9;
constexpr uint8_t k_first_countdown = 0x89;
constexpr uint8_t k_repeat_countdown = 0x09;
// A header's payload: type, start and end address, the name padded with spaces.
constexpr uint32_t k_header_payload = 192;
constexpr uint8_t k_relocatable = 1;
constexpr uint8_t k_program = 3;
constexpr uint8_t k_data_header = 4;
constexpr uint8_t k_end_of_tape = 5;

struct block {
    bool repeat;         // the second recording
    bool good;           // parity and checksum right
    uint32_t payload_at; // in the decoded bytes
    uint32_t payload_size;
};

struct tape {
    uint8_t* pulses = nullptr; // each pulse's class
    uint64_t pulse_count = 0;
    uint64_t pauses = 0;
    uint64_t standard_pulses = 0; // of the blocks and the leaders before them
    uint8_t* bytes = nullptr;     // every block's bytes, one after the other
    uint32_t byte_count = 0;
    block* blocks = nullptr;
    int32_t block_count = 0;
};

// The bit of a pulse pair, or -1 when the pair is no bit.
int bit_of(const uint8_t* pulses, uint64_t at) {
    return pulses[at] == k_short && pulses[at + 1] == k_medium   ? 0
           : pulses[at] == k_medium && pulses[at + 1] == k_short ? 1
                                                                 : -1;
}

// The byte at pulse `at` (its marker there): false when it is none; *parity_ok says
// whether its nine bits hold an odd number of ones.
bool byte_at(const tape& t, uint64_t at, uint8_t* value, bool* parity_ok) {
    if (at + k_pulses_per_byte > t.pulse_count || t.pulses[at] != k_long ||
        t.pulses[at + 1] != k_medium) {
        return false;
    }
    int ones = 0;
    uint8_t byte = 0;
    for (int i = 0; i < 9; ++i) {
        const int bit = bit_of(t.pulses, at + 2 + 2 * static_cast<uint64_t>(i));
        if (bit < 0) {
            return false;
        }
        ones += bit;
        if (i < 8) {
            byte = static_cast<uint8_t>(byte | bit << i);
        }
    }
    *value = byte;
    *parity_ok = ones % 2 == 1;
    return true;
}

bool countdown_is(const uint8_t* bytes, uint8_t first) {
    for (int i = 0; i < k_countdown; ++i) {
        if (bytes[i] != first - i) {
            return false;
        }
    }
    return true;
}

// A run of bytes, one after the other from a marker on, as decoded into t.bytes.
struct byte_run {
    uint32_t first = 0;     // its first byte in t.bytes
    uint32_t count = 0;     // its bytes
    uint64_t end = 0;       // the pulse after its last byte
    int64_t last_bad = -1;  // its last byte with a wrong parity bit, or -1
};

byte_run read_run(tape& t, uint64_t at) {
    byte_run run{t.byte_count, 0, at, -1};
    for (;;) {
        uint8_t value = 0;
        bool parity = false;
        if (!byte_at(t, run.end, &value, &parity)) {
            return run;
        }
        t.bytes[t.byte_count++] = value;
        run.last_bad = parity ? run.last_bad : static_cast<int64_t>(run.count);
        ++run.count;
        run.end += k_pulses_per_byte;
    }
}

// The first byte of the run where a block starts: a countdown with room for a
// checksum after it; or the run's count when none does.
uint32_t block_start(const tape& t, const byte_run& run) {
    const uint8_t* bytes = t.bytes + run.first;
    for (uint32_t i = 0; i + k_countdown + 1 <= run.count; ++i) {
        if (countdown_is(bytes + i, k_first_countdown) ||
            countdown_is(bytes + i, k_repeat_countdown)) {
            return i;
        }
    }
    return run.count;
}

// Every standard block of the tape, in order, with the pulses of the blocks and of
// the leaders before them counted as standard. Each run of bytes is decoded once and
// searched once for the countdown that starts a block, so the work is linear in the
// pulses whatever they hold.
void find_blocks(tape& t) {
    uint64_t done = 0; // the pulses before belong to a block found, or to no block
    for (uint64_t at = 0; at + k_pulses_per_byte <= t.pulse_count;) {
        if (t.pulses[at] != k_long) {
            // Most of a commercial tape is a turbo loader's pulses: skip to the next
            // long one at the speed of memchr().
            const void* next = std::memchr(t.pulses + at, k_long, t.pulse_count - at);
            at = next != nullptr ? static_cast<uint64_t>(static_cast<const uint8_t*>(next) - t.pulses)
                                 : t.pulse_count;
            continue;
        }
        const byte_run run = read_run(t, at);
        const uint32_t start = block_start(t, run);
        if (start == run.count) {
            t.byte_count = run.first;
            at = run.end > at ? run.end : at + 1;
            continue;
        }
        // The block's bytes move to where the run began.
        const uint32_t count = run.count - start;
        std::memmove(t.bytes + run.first, t.bytes + run.first + start, count);
        t.byte_count = run.first + count;
        const uint8_t* bytes = t.bytes + run.first;
        uint64_t end = run.end;
        // The end marker, when it is there, belongs to the block.
        if (end + 1 < t.pulse_count && t.pulses[end] == k_long && t.pulses[end + 1] == k_short) {
            end += 2;
        }
        uint8_t sum = 0;
        for (uint32_t i = k_countdown; i + 1 < count; ++i) {
            sum ^= bytes[i];
        }
        const bool parity_ok = run.last_bad < static_cast<int64_t>(start);
        t.blocks[t.block_count++] = {countdown_is(bytes, k_repeat_countdown),
                                     parity_ok && sum == bytes[count - 1],
                                     run.first + k_countdown, count - k_countdown - 1};
        uint64_t leader = at + uint64_t{start} * k_pulses_per_byte;
        while (leader > done && t.pulses[leader - 1] == k_short) {
            --leader;
        }
        t.standard_pulses += end - leader;
        done = end;
        at = end;
    }
}

// The pulses of the data, classified; false when allocation fails.
bool read_pulses(const uint8_t* data, uint64_t length, int32_t version, tape& t) {
    t.pulses = static_cast<uint8_t*>(std::malloc(length + 1));
    if (t.pulses == nullptr) {
        return false;
    }
    // The pulses between pauses in one tight loop; a pause is a zero byte, followed in
    // versions 1 and 2 by three bytes of its cycles (a cut one ends the data).
    for (uint64_t at = 0; at < length;) {
        const void* zero = std::memchr(data + at, 0, length - at);
        const uint64_t end =
            zero != nullptr ? static_cast<uint64_t>(static_cast<const uint8_t*>(zero) - data)
                            : length;
        uint8_t* out = t.pulses + t.pulse_count;
        for (uint64_t i = 0; i < end - at; ++i) {
            out[i] = k_class_of.of[data[at + i]];
        }
        t.pulse_count += end - at;
        at = end;
        if (at < length) {
            t.pulses[t.pulse_count++] = k_pause;
            ++t.pauses;
            at += version >= 1 ? 4 : 1;
        }
    }
    return true;
}

// A file of the tape: its header block and the copies of its data.
struct tape_file {
    int32_t header = -1; // the block of its first good header copy, or of the first
    int32_t header_copies = 0;
    int32_t data = -1;       // the block of its first good data copy
    int32_t data_copies = 0; // data blocks seen
    int32_t good_copies = 0; // data blocks (of a data file: headers) read cleanly
    uint32_t expected = 0;   // the data's size, end - start
    bool program = false;
};

bool is_header(const tape& t, const block& b) {
    const uint8_t type = t.bytes[b.payload_at];
    return b.payload_size == k_header_payload && (type == k_relocatable || type == k_program ||
                                                  type == k_data_header || type == k_end_of_tape);
}

// Pairs the blocks into files: a header (twice), then a program's data (twice). The
// data is the block that follows the header, whatever its length: some loaders
// record a header whose addresses span more than the data block that follows it.
// Returns the number of files; with `files`, fills them.
int32_t pair_blocks(const tape& t, tape_file* files) {
    int32_t count = 0;
    tape_file current;
    bool open = false;
    const auto close = [&] {
        if (open && files != nullptr) {
            files[count] = current;
        }
        count += open ? 1 : 0;
        open = false;
    };
    for (int32_t i = 0; i < t.block_count; ++i) {
        const block& b = t.blocks[i];
        const uint8_t* payload = t.bytes + b.payload_at;
        // The header's repeat: the same payload (or one of the two damaged).
        const block& header = t.blocks[open ? current.header : i];
        if (open && b.repeat && current.header_copies == 1 && current.data_copies == 0 &&
            is_header(t, b) &&
            (!b.good || !header.good ||
             std::memcmp(payload, t.bytes + header.payload_at, k_header_payload) == 0)) {
            ++current.header_copies;
            current.good_copies += !current.program && b.good ? 1 : 0;
            current.header = header.good || !b.good ? current.header : i;
            continue;
        }
        if (open && current.program && current.data_copies < 2 &&
            (!is_header(t, b) || b.payload_size == current.expected)) {
            ++current.data_copies;
            current.good_copies += b.good ? 1 : 0;
            current.data = current.data < 0 && b.good ? i : current.data;
            continue;
        }
        if (!is_header(t, b)) {
            continue; // a block of no file: counted in the blocks, not listed
        }
        close();
        if (payload[0] == k_end_of_tape) {
            continue;
        }
        current = tape_file{};
        open = true;
        current.header = i;
        current.header_copies = 1;
        current.program = payload[0] != k_data_header;
        current.good_copies = !current.program && b.good ? 1 : 0;
        const uint32_t start = d64s_le16(payload + 1);
        const uint32_t end = d64s_le16(payload + 3);
        current.expected = end > start ? end - start : 0;
    }
    close();
    return count;
}

void fill_file(const tape& t, const tape_file& found, int32_t slot, uint8_t* decoded,
               d64_container_file& out) {
    const uint8_t* header = t.bytes + t.blocks[found.header].payload_at;
    out.slot = slot;
    out.tape_type = header[0];
    out.type = found.program ? k_closed_prg : 0x81;
    out.has_addresses = true;
    out.load_address = static_cast<uint16_t>(d64s_le16(header + 1));
    out.end_address = static_cast<uint16_t>(d64s_le16(header + 3));
    std::memcpy(out.name, header + 5, D64_NAME_LENGTH);
    for (int32_t i = D64_NAME_LENGTH - 1; i >= 0 && out.name[i] == ' '; --i) {
        out.name[i] = D64_SHIFTED_SPACE;
    }
    out.copies_ok = found.good_copies;
    out.problems |= found.good_copies == 0   ? 1U << D64_PROBLEM_NO_GOOD_COPY
                    : found.good_copies == 1 ? 1U << D64_PROBLEM_ONE_GOOD_COPY
                                             : 0U;
    // A data file's data is not read back; a program's is its first good copy.
    out.has_load_address = found.program;
    if (found.program && found.data >= 0) {
        const block& data = t.blocks[found.data];
        std::memcpy(decoded, t.bytes + data.payload_at, data.payload_size);
        out.data = decoded;
        out.data_size = data.payload_size;
        if (data.payload_size != found.expected) {
            out.problems |= 1U << D64_PROBLEM_LENGTH_DIFFERS;
        }
    }
}

void release(tape& t) {
    std::free(t.pulses);
    std::free(t.bytes);
    std::free(t.blocks);
}

bool is_tap(const uint8_t* file, uint64_t size) {
    for (const char* signature : k_signatures) {
        if (size >= k_header && std::memcmp(file, signature, 12) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

d64s_open_result d64s_open_tap(const uint8_t* file, uint64_t size, d64s_container** out) {
    if (!is_tap(file, size)) {
        return d64s_open_result::not_recognised;
    }
    const int32_t version = file[12];
    const uint64_t length = size - k_header;
    tape t;
    bool fits =
        read_pulses(file + k_header, version == k_half_waves_version ? 0 : length, version, t);
    // Every standard byte takes 20 pulses; every block 10 bytes at least.
    if (fits) {
        t.bytes = static_cast<uint8_t*>(std::malloc(t.pulse_count / k_pulses_per_byte + 1));
        t.blocks = static_cast<block*>(
            std::malloc(sizeof(block) * (t.pulse_count / (k_pulses_per_byte * 10) + 1)));
        fits = t.bytes != nullptr && t.blocks != nullptr;
    }
    if (fits) {
        find_blocks(t);
    }
    const int32_t files = fits ? pair_blocks(t, nullptr) : 0;
    auto* found =
        fits ? static_cast<tape_file*>(std::malloc(sizeof(tape_file) * (files + 1))) : nullptr;
    d64s_container* handle =
        found != nullptr ? d64s_new_container(file, size, D64_CONTAINER_TAP, files, 0) : nullptr;
    uint8_t* decoded =
        handle != nullptr ? static_cast<uint8_t*>(std::malloc(t.byte_count + 1)) : nullptr;
    if (decoded == nullptr) {
        std::free(handle);
        std::free(found);
        release(t);
        *out = nullptr;
        return d64s_open_result::failed;
    }
    pair_blocks(t, found);
    uint32_t used = 0;
    for (int32_t i = 0; i < files; ++i) {
        fill_file(t, found[i], i + 1, decoded + used, handle->files[i]);
        used += static_cast<uint32_t>(handle->files[i].data_size);
    }
    d64_container_info& info = handle->info;
    info.version = version;
    info.machine = file[13];
    info.video = file[14];
    info.pulses = version == k_half_waves_version ? length : t.pulse_count;
    info.other_pulses = t.pulse_count - t.pauses - t.standard_pulses;
    for (int32_t i = 0; i < t.block_count; ++i) {
        (t.blocks[i].good ? info.blocks_ok : info.blocks_bad) += 1;
    }
    if (d64s_le32(file + 16) != length) {
        info.problems |= 1U << D64_PROBLEM_LENGTH_MISMATCH;
    }
    if (version == k_half_waves_version) {
        info.problems |= 1U << D64_PROBLEM_HALF_WAVES;
    }
    handle->decoded = decoded;
    std::free(found);
    release(t);
    *out = handle;
    return d64s_open_result::opened;
}

namespace {

constexpr const char* k_tape_machines[] = {"C64", "VIC-20", "C16/Plus/4",
                                           "PET", "C5x0",   "C6x0/C7x0"};
constexpr const char* k_tape_videos[] = {"PAL", "NTSC", "old NTSC", "PAL-N"};

template <size_t n>
bool name_from(const char* const (&names)[n], int32_t value, const char** name) {
    if (name == nullptr || value < 0 || static_cast<size_t>(value) >= n) {
        return false;
    }
    *name = names[value];
    return true;
}

} // namespace

bool d64_tape_machine_name(int32_t machine, const char** name) {
    return name_from(k_tape_machines, machine, name);
}

bool d64_tape_video_name(int32_t video, const char** name) {
    return name_from(k_tape_videos, video, name);
}
