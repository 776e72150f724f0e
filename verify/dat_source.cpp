// A DAT's bytes, read in chunks through libarchive (loaded on demand): plain,
// compressed, or the one file of a zip or 7z; counted against the cap as they come.
#include "dat_source.h"

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace verify {

namespace {

constexpr std::size_t k_chunk = std::size_t{1} << 16;

// open_dat_source() runs after load_dat() loaded libarchive.
const ondemand::archive_functions& la() {
    static const ondemand::archive_functions& functions = *ondemand::archive_library(nullptr);
    return functions;
}

std::string archive_error(archive* reader) {
    const char* text = la().archive_error_string(reader);
    return text != nullptr ? text : "cannot be read";
}

bool is_standard_input(const std::string& path) {
    return path == "-" || path == "/dev/stdin";
}

// The path names a regular file (or standard input): false with what it is instead.
bool is_readable_kind(const std::string& path, std::string* what) {
    if (is_standard_input(path)) {
        return true;
    }
    struct stat status;
    if (stat(path.c_str(), &status) != 0) {
        *what = std::strerror(errno);
        return false;
    }
    if (S_ISDIR(status.st_mode)) {
        *what = "is a folder";
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        *what = "is not a regular file";
        return false;
    }
    if (status.st_size == 0) {
        *what = "empty";
        return false;
    }
    return true;
}

// Moves to the next regular member (for a plain or compressed file: its one raw
// entry). False at the end of the archive, with *what set on a failure.
bool next_member(dat_source& source, std::string* what) {
    for (;;) {
        archive_entry* entry = nullptr;
        const int status = la().archive_read_next_header(source.reader, &entry);
        if (status == ARCHIVE_EOF) {
            return false;
        }
        if (status != ARCHIVE_OK && status != ARCHIVE_WARN) {
            *what = archive_error(source.reader);
            return false;
        }
        if (la().archive_entry_filetype(entry) == AE_IFREG) {
            return true;
        }
    }
}

} // namespace

dat_source::~dat_source() {
    if (reader != nullptr) {
        la().archive_read_free(reader);
    }
}

bool dat_source::fill() {
    if (ended || !error.empty()) {
        return false;
    }
    const la_ssize_t got = la().archive_read_data(reader, chunk.data(), chunk.size());
    if (got < 0) {
        error = archive_error(reader);
        return false;
    }
    if (got == 0) {
        ended = true;
        return false;
    }
    total += static_cast<std::uint64_t>(got);
    if (total > limit) {
        error = "unpacks to more than " + std::to_string(limit) + " bytes, the most a DAT may have";
        return false;
    }
    at = 0;
    size = static_cast<std::size_t>(got);
    return true;
}

long dat_source::read(char* into, std::size_t room) {
    if (at == size && !fill()) {
        return error.empty() ? 0 : -1;
    }
    const std::size_t count = std::min(room, size - at);
    std::memcpy(into, chunk.data() + at, count);
    at += count;
    return static_cast<long>(count);
}

namespace {

// A reader of plain, compressed and zipped bytes; `open` opens it on them.
template <class Open>
bool open_with(std::uint64_t limit, dat_source& source, std::string* what, Open&& open) {
    source.reader = la().archive_read_new();
    archive* reader = source.reader;
    if (reader == nullptr) {
        *what = "cannot be read";
        return false;
    }
    la().archive_read_support_filter_all(reader);
    la().archive_read_support_format_zip(reader);
    la().archive_read_support_format_7zip(reader);
    la().archive_read_support_format_raw(reader);
    if (open(reader) != ARCHIVE_OK) {
        *what = archive_error(reader);
        return false;
    }
    source.chunk.resize(k_chunk);
    source.limit = limit;
    if (!next_member(source, what)) {
        *what = what->empty() ? "an archive that holds no file" : *what;
        return false;
    }
    return true;
}

} // namespace

bool open_dat_source(const std::string& path, std::uint64_t limit, dat_source& source,
                     std::string* what) {
    return is_readable_kind(path, what) && open_with(limit, source, what, [&](archive* reader) {
               return is_standard_input(path)
                          ? la().archive_read_open_fd(reader, STDIN_FILENO, k_chunk)
                          : la().archive_read_open_filename(reader, path.c_str(), k_chunk);
           });
}

bool open_dat_memory(const std::uint8_t* data, std::size_t size, std::uint64_t limit,
                     dat_source& source, std::string* what) {
    if (size == 0) {
        *what = "empty";
        return false;
    }
    return open_with(limit, source, what, [&](archive* reader) {
        return la().archive_read_open_memory(reader, data, size);
    });
}

bool more_members(dat_source& source) {
    std::string what;
    return next_member(source, &what);
}

} // namespace verify
