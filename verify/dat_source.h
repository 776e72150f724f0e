// Private to verify/: a DAT file's bytes as a stream of chunks, out of a plain file,
// a gzip, bzip2 or xz stream or the one member of a zip (libarchive), or standard
// input; never more than a cap, whatever the file claims or unpacks to.
#ifndef FLOPPEEK_DAT_SOURCE_H
#define FLOPPEEK_DAT_SOURCE_H

#include "ondemand.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace verify {

struct dat_source {
    archive* reader = nullptr; // freed with the source
    std::vector<char> chunk; // the bytes last read
    std::size_t at = 0;      // the first of them not yet taken
    std::size_t size = 0;    // how many were read
    std::uint64_t total = 0; // bytes read so far
    std::uint64_t limit = 0; // the most the DAT may unpack to
    bool ended = false;      // no byte left
    std::string error;       // why the stream failed, or ""
    int line = 1;            // of the next byte taken with take()

    // The next unread chunk: false at the end of the stream or after a failure.
    bool fill();
    // The next byte, or -1 at the end (or after a failure); counts lines.
    int take() {
        if (at == size && !fill()) {
            return -1;
        }
        const char byte = chunk[at++];
        line += byte == '\n' ? 1 : 0;
        return static_cast<unsigned char>(byte);
    }
    // The next byte without taking it, or -1.
    int peek() {
        if (at == size && !fill()) {
            return -1;
        }
        return static_cast<unsigned char>(chunk[at]);
    }
    // Up to `room` bytes into `into`: how many, 0 at the end, -1 after a failure.
    long read(char* into, std::size_t room);

    dat_source() = default;
    ~dat_source();
    dat_source(const dat_source&) = delete;
    dat_source& operator=(const dat_source&) = delete;
};

// open_dat_source() :
//   Opens the DAT at `path` ("-" and "/dev/stdin": standard input): a regular file
//   only. @return false with what is wrong in *what ("is a folder", "is not a regular
//   file", "empty", what libarchive says).
bool open_dat_source(const std::string& path, std::uint64_t limit, dat_source& source,
                     std::string* what);

// open_dat_memory() :
//   As open_dat_source(), for a DAT held in memory (`size` bytes at `data`, which must
//   outlive the source).
bool open_dat_memory(const std::uint8_t* data, std::size_t size, std::uint64_t limit,
                     dat_source& source, std::string* what);

// more_members() :
//   After the DAT's data: true when its zip holds another file.
bool more_members(dat_source& source);

} // namespace verify

#endif // FLOPPEEK_DAT_SOURCE_H
