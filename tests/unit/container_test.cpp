// Tapes, cartridges and loose files: each reader against files written here with
// planted faults, and hostile ones. A file is described as "name:size:problems", its
// problems by name; the container's own problems after a '|'.
#include "container_writer.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

std::string problems_text(uint32_t bits) {
    std::string text;
    for (int32_t problem = 0; problem < D64_PROBLEM_COUNT; ++problem) {
        const char* name = "";
        int32_t severity = 0;
        if ((bits >> problem & 1U) != 0 && d64_container_problem_name(problem, &name, &severity)) {
            text += (text.empty() ? "" : ",") + std::string(name);
        }
    }
    return text;
}

// The files of `bytes` opened as `name`, then the container's problems; "none" when it
// is not recognised.
std::string described(const std::string& bytes, const char* name) {
    d64_container* raw = nullptr;
    if (!d64_open_container(&raw, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                            name, nullptr)) {
        return "none";
    }
    std::string text;
    d64_foreach_container_file(
        raw,
        [](const d64_container_file* file, void* context) {
            char shown[17] = {};
            d64_petscii_to_text(reinterpret_cast<const char*>(file->name), 16, D64_TEXT_TRIMMED,
                                shown);
            auto& into = *static_cast<std::string*>(context);
            into += (into.empty() ? "" : " ") + std::string(shown) + ":" +
                    std::to_string(file->size) + ":" + problems_text(file->problems);
            return true;
        },
        &text);
    d64_container_info info{};
    d64_get_container_info(raw, &info);
    d64_close_container(raw);
    return text + "|" + problems_text(info.problems);
}

void put(std::string& bytes, size_t at, std::string_view value) {
    bytes.replace(at, value.size(), value);
}

const container_entry k_hello{"HELLO", 0x0801, std::vector<uint8_t>(500, 7), 0x82, {}};
const container_entry k_world{"WORLD", 0xC000, std::vector<uint8_t>(300, 9), 0x82, {}};

} // namespace

TEST(containers, t64_entries_as_their_data_says) {
    const std::string clean = container_write_t64({k_hello, k_world});
    const size_t second = 0x40 + 32;
    struct row {
        const char* what;
        std::function<std::string()> make;
        std::string expected;
    };
    const row rows[] = {
        {"clean", [&] { return clean; }, "hello:502: world:302:|"},
        // A converter's 0xC3C6 and an end at the start: the data up to the next entry's.
        {"end address 0xC3C6",
         [&] {
             auto b = clean;
             put(b, 0x40 + 4, "\xC6\xC3");
             return b;
         },
         "hello:502:end_address_wrong world:302:|"},
        {"end address at the start",
         [&] {
             auto b = clean;
             put(b, second + 4, std::string("\x00\xC0", 2));
             return b;
         },
         "hello:502: world:302:end_address_wrong|"},
        {"a claimed size smaller than the data",
         [&] {
             auto b = clean;
             put(b, 0x40 + 4, "\x65\x08");
             return b;
         },
         "hello:102: world:302:|"},
        {"used entries wrong",
         [&] {
             auto b = clean;
             b[0x24] = 7;
             return b;
         },
         "hello:502: world:302:|used_entries_wrong"},
        {"offset outside",
         [&] {
             auto b = clean;
             put(b, second + 8, "\xFF\xFF\xFF\x00");
             return b;
         },
         "hello:502: world:0:offset_outside|"},
        {"two entries at one offset",
         [&] {
             auto b = clean;
             b.replace(second + 8, 4, b.substr(0x40 + 8, 4));
             return b;
         },
         "hello:502: world:302:overlap|"},
        {"an unknown entry type and a type byte of 0",
         [&] {
             auto b = clean;
             b[second] = 2;
             b[second + 1] = 0;
             return b;
         },
         "hello:502: world:302:unknown_entry_type,file_type_byte|"},
        {"three entries sharing one offset, each claiming all of it",
         [&] {
             container_entry big{"A", 0x1000, std::vector<uint8_t>(1000, 1), 0x82, {}};
             container_entry small{"B", 0x1000, {1}, 0x82, 0x1000 + 1000};
             auto b = container_write_t64({big, small, small});
             for (const size_t slot : {second, second + 32}) {
                 b.replace(slot + 8, 4, b.substr(0x40 + 8, 4));
             }
             return b;
         },
         "a:1002: b:1002:overlap b:1002:overlap|claims_exceed_size"},
        {"a slot count of 0 that hides the used entries",
         [&] {
             auto b = clean;
             put(b, 0x22, std::string(2, '\0'));
             return b;
         },
         "hello:502: world:302:|slot_count_wrong"},
        {"room for one empty slot", [&] { return "C64" + std::string(0x5D, '\0'); }, "|"},
        {"no room for a slot", [&] { return "C64" + std::string(0x5C, '\0'); }, "none"},
        {"65535 slots claimed: those before the data",
         [&] {
             auto b = clean;
             put(b, 0x22, "\xFF\xFF");
             return b;
         },
         "hello:502: world:302:|"},
        {"the header cut short", [&] { return clean.substr(0, 0x3F); }, "none"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(described(r.make(), "x.t64"), r.expected);
    }
}

TEST(containers, tap_standard_recording_read_back) {
    using fault = tap_fault;
    const auto tap = [](std::vector<tap_planted> faults, tap_options options = {},
                        container_entry second = k_world) {
        options.faults = std::move(faults);
        return container_write_tap({k_hello, second}, options);
    };
    const auto with = [](auto change) {
        tap_options options;
        change(options);
        return options;
    };
    struct row {
        const char* what;
        std::string bytes;
        std::string expected;
        int32_t copies_ok; // of the second file
        uint64_t other_pulses;
        int32_t blocks_ok = 8;
        int32_t tape_type = 3; // of the second file
    };
    const std::string clean = tap({});
    container_entry autostart = k_world;
    autostart.end = 0xC3C6; // a header that spans more than the data block after it
    // A byte is 20 pulses; a block its countdown, payload and checksum, then an end
    // marker of 2; the first copy of the second file's header is lost to its countdown.
    const uint64_t lost_header = 400 + (9 + 192 + 1) * 20 + 1;
    const row rows[] = {
        {"clean", clean, "hello:502: world:302:|", 2, 0},
        {"a bad checksum in the first copy", tap({{fault::data_checksum_first, 1}}),
         "hello:502: world:302:one_good_copy|", 1, 0, 7},
        {"in both copies", tap({{fault::data_checksum_both, 1}}),
         "hello:502: world:0:no_good_copy|", 0, 0, 6},
        {"a parity error in a header", tap({{fault::header_parity_first, 1}}),
         "hello:502: world:302:|", 2, 0, 7},
        {"a countdown wrong in one byte", tap({{fault::countdown_first, 1}}),
         "hello:502: world:302:|", 2, lost_header, 7},
        {"a header longer than its data", tap({}, {}, autostart),
         "hello:502: world:302:length_differs|", 2, 0},
        {"a relocatable program", tap({}, with([](tap_options& o) { o.header_type = 1; })),
         "hello:502: world:302:|", 2, 0, 8, 1},
        {"a turbo stretch", tap({}, with([](tap_options& o) { o.turbo_pulses = 5000; })),
         "hello:502: world:302:|", 2, 5000},
        {"version 0 pauses", tap({}, with([](tap_options& o) { o.version = 0; })),
         "hello:502: world:302:|", 2, 0},
        {"version 2 half-waves", tap({}, with([](tap_options& o) { o.version = 2; })),
         "|half_waves", -1, 0, 0},
        {"a data length that is not the file's",
         tap({}, with([](tap_options& o) { o.wrong_length = true; })),
         "hello:502: world:302:|length_mismatch", 2, 0},
        // The cut copy's last 6 pulses make no byte.
        {"cut in the second file's data", clean.substr(0, clean.size() - 4000),
         "hello:502: world:302:one_good_copy|length_mismatch", 1, 6, 7},
        // A leader that no block follows is no standard recording.
        {"endless short pulses",
         "C64-TAPE-RAW" + std::string(8, '\0') + std::string(1 << 20, '\x30'), "|length_mismatch",
         -1, 1 << 20, 0},
        // Bytes without a countdown: no block, each pulse counted once.
        {"bytes that never start a block",
         container_write_tap({}, with([](tap_options& o) { o.stray_bytes = 20000; })), "|", -1,
         20000 * 20, 0},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(described(r.bytes, "x.tap"), r.expected);
        d64_container* raw = nullptr;
        ASSERT_TRUE(d64_open_container(&raw, reinterpret_cast<const uint8_t*>(r.bytes.data()),
                                       r.bytes.size(), "x.tap", nullptr));
        d64_container_info info{};
        d64_get_container_info(raw, &info);
        EXPECT_EQ(info.other_pulses, r.other_pulses);
        EXPECT_EQ(info.blocks_ok, r.blocks_ok);
        d64_container_file second{};
        second.copies_ok = -1;
        second.tape_type = 3;
        d64_foreach_container_file(
            raw,
            [](const d64_container_file* file, void* context) {
                *static_cast<d64_container_file*>(context) = *file;
                return true;
            },
            &second);
        EXPECT_EQ(second.copies_ok, r.copies_ok);
        EXPECT_EQ(second.tape_type, r.tape_type);
        d64_close_container(raw);
    }
}

TEST(containers, pc64_loose_files_and_cartridges) {
    const std::string p00 = container_write_p00(k_hello);
    const std::string seq = container_write_p00(k_world, false);
    const std::string crt = container_write_crt("GAME", 0, 0, 0,
                                                {{0, 0, 0x8000, std::vector<uint8_t>(8192, 1)},
                                                 {0, 1, 0xA000, std::vector<uint8_t>(8192, 2)}});
    const size_t second_chip = 0x40 + 16 + 8192;
    struct row {
        const char* what;
        std::string bytes;
        const char* name;
        std::string expected;
        int32_t chips; // a CRT's, else -1
    };
    const row rows[] = {
        {"P00", p00, "hello.P00", "hello:502:|", -1},
        {"S01: a SEQ file, no load address", seq, "x.s01", "world:300:|", -1},
        {"an extension that names no type", p00, "x.q00", "hello:502:unknown_extension|", -1},
        {"P00 cut in its header", p00.substr(0, 25), "x.p00", "none", -1},
        {"PRG", container_write_prg(k_hello), "some/Hello.PRG", "hello:502:|", -1},
        {"a PRG of one byte", "\x01", "x.prg", "none", -1},
        {"a program without a .prg name", container_write_prg(k_hello), "x.bin", "none", -1},
        {"CRT", crt, "x.crt", "|", 2},
        {"a chip packet of length 0",
         [&] {
             auto b = crt;
             put(b, second_chip + 4, std::string(4, '\0'));
             return b;
         }(),
         "x.crt", "|truncated", 1},
        {"a chip packet of 4 GB",
         [&] {
             auto b = crt;
             put(b, second_chip + 4, "\xFF\xFF\xFF\xFF");
             return b;
         }(),
         "x.crt", "|truncated", 1},
        {"a C128 cartridge", "C128 CARTRIDGE  " + crt.substr(16), "x.crt", "|", 2},
        {"a header length below the header's",
         [&] {
             auto b = crt;
             put(b, 16, std::string("\0\0\0\x20", 4));
             return b;
         }(),
         "x.crt", "|header_length", 2},
        {"a header length past the end",
         [&] {
             auto b = crt;
             put(b, 16, std::string("\0\x01\0\0", 4));
             return b;
         }(),
         "x.crt", "|truncated", 0},
        // A RAM chip's packet gives the RAM's size and holds no data.
        {"a RAM chip", crt + std::string("CHIP\0\0\0\x10\0\x01\0\0\xDE\0\x80\0", 16), "x.crt",
         "|", 3},
        {"bytes after the last chip that are no packet", crt + "JUNK JUNK JUNK JUNK", "x.crt",
         "|truncated", 2},
        {"more chips than any cartridge has",
         container_write_crt("MANY", 0, 0, 0, std::vector<crt_chip>(D64_MOST_CHIPS + 1)), "x.crt",
         "|too_many_chips", 0},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(described(r.bytes, r.name), r.expected);
        d64_container* raw = nullptr;
        if (r.chips >= 0 &&
            d64_open_container(&raw, reinterpret_cast<const uint8_t*>(r.bytes.data()),
                               r.bytes.size(), r.name, nullptr)) {
            d64_container_info info{};
            d64_get_container_info(raw, &info);
            EXPECT_EQ(info.file_count, r.chips);
            d64_close_container(raw);
        }
    }
}
