// Writes the files that are no disk, for tests, fuzz seeds and the benchmark: T64
// tape containers (with wrong end addresses where asked), PC64 P00 files, loose
// PRGs, TAP recordings of the standard (KERNAL) tape format with planted faults, and
// CRT cartridges.
#ifndef FLOPPEEK_CONTAINER_WRITER_H
#define FLOPPEEK_CONTAINER_WRITER_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A file to write: its name (ASCII, written as PETSCII capitals), load address and
// data (without the load address).
struct container_entry {
    std::string name;
    uint16_t load = 0x0801;
    std::vector<uint8_t> data;
    uint8_t type = 0x82;         // the C64 type byte a T64 slot holds
    std::optional<uint16_t> end; // the end address a T64 slot or a tape header claims
                                 // (else load + size)
};

// The T64 of `files` named `name`, one slot each, `spare_slots` free ones after them.
std::string container_write_t64(const std::vector<container_entry>& files,
                                const std::string& name = "TEST TAPE", int spare_slots = 2);
// The P00 of `file`: header, then the file as a disk holds it (a program with its
// load address; `with_load_address` false for a SEQ file's data alone).
std::string container_write_p00(const container_entry& file, bool with_load_address = true);
// The loose PRG: the load address, then the data.
std::string container_write_prg(const container_entry& file);

enum class tap_fault {
    data_checksum_first, // the data's first copy has a wrong checksum
    data_checksum_both,  // both copies of the data do
    header_parity_first, // a byte of the header's first copy has a wrong parity bit
    countdown_first,     // a byte of the countdown of the header's first copy is wrong
};

struct tap_planted {
    tap_fault what;
    int file; // from 0
};

struct tap_options {
    int version = 1; // 0 or 1: how a pause is written; 2: half-waves
    std::vector<tap_planted> faults;
    size_t turbo_pulses = 0;   // pulses of other data after the files
    bool wrong_length = false; // a header data length that is not the file's
    uint8_t header_type = 3;   // 1 a relocatable program, 3 one that loads where it says
    size_t stray_bytes = 0;    // bytes recorded as the standard recording's, with no
                               // countdown before them, after the files
};

// The TAP of `files` recorded as the KERNAL records programs: a leader, the header
// block twice, a leader, the data block twice, a pause between files.
std::string container_write_tap(const std::vector<container_entry>& files,
                                const tap_options& options = {});

struct crt_chip {
    int type = 0; // 0 ROM
    int bank = 0;
    uint16_t load = 0x8000;
    std::vector<uint8_t> data;
};

// The CRT named `name`: header of 0x40 bytes, then a CHIP packet per chip.
std::string container_write_crt(const std::string& name, int hardware_type, int exrom, int game,
                                const std::vector<crt_chip>& chips);

#endif // FLOPPEEK_CONTAINER_WRITER_H
