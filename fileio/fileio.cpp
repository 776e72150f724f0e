// Moving a whole file between disk and one heap buffer.
#include "fileio.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Opens `path` read-only without blocking: a FIFO then opens at once (and fails to
// seek) instead of waiting for a writer. A folder is refused here; reading it as a
// file would otherwise depend on what the file system answers to a seek.
FILE* open_for_reading(const char* path) {
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    struct stat status;
    if (fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
        close(fd);
        return nullptr;
    }
    FILE* file = fdopen(fd, "r");
    if (file == nullptr) {
        close(fd);
    }
    return file;
}

// Maps the whole pages of a fresh buffer in one call before it is filled: on a
// virtual machine each page touched for the first time costs a trap to the
// hypervisor, and a disk image is dozens of pages. Where the kernel lacks the
// call (before Linux 5.14) the pages come one fault at a time, as before.
void populate(unsigned char* buffer, size_t length) {
#ifdef MADV_POPULATE_WRITE
    const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    const uintptr_t first = (reinterpret_cast<uintptr_t>(buffer) + page - 1) & ~(page - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(buffer) + length) & ~(page - 1);
    if (end > first) {
        madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
    }
#else
    (void)buffer;
    (void)length;
#endif
}

} // namespace

// Length of an open file, found by seeking to its end; -1 after reporting a failure
// to `messages`.
static long __filelength(FILE* file, FILE* messages) {
    if (std::fseek(file, 0, SEEK_END) != 0) {
        std::fprintf(messages, "Cannot seek to EOF in input file\n");
        return -1;
    }
    const long position = std::ftell(file);
    if (position < 0) {
        std::fprintf(messages, "Cannot seek to current position in file\n");
        return -1;
    }
    std::rewind(file);
    return position;
}

bool fileio_get_file_contents(const char* path, unsigned char** out_buffer, size_t* out_length) {
    return fileio_get_file_contents_to(path, out_buffer, out_length, stderr);
}

bool fileio_get_file_contents_to(const char* path, unsigned char** out_buffer, size_t* out_length,
                                 FILE* messages) {
    FILE* file = open_for_reading(path);
    if (file == nullptr) {
        std::fprintf(messages, "Cannot open file for reading: \"%s\"\n", path);
        return false;
    }
    const long length = __filelength(file, messages);
    *out_length = static_cast<size_t>(length);
    if (length < 0) {
        std::fclose(file);
        return false;
    }
    // An empty file still gets a (one-byte) block, so it reads as a zero-length
    // buffer whatever malloc(0) returns on this platform.
    *out_buffer =
        static_cast<unsigned char*>(std::malloc(length > 0 ? static_cast<size_t>(length) : 1));
    if (*out_buffer == nullptr) {
        std::fprintf(messages, "Cannot allocate input buffer for operation\n");
        std::fclose(file);
        return false;
    }
    populate(*out_buffer, *out_length);
    if (std::fread(*out_buffer, 1, *out_length, file) < *out_length) {
        std::fprintf(messages, "Cannot read from file: \"%s\"\n", path);
        std::free(*out_buffer);
        *out_buffer = nullptr;
        std::fclose(file);
        return false;
    }
    std::fclose(file);
    return true;
}

bool fileio_put_file_contents(const char* path, const unsigned char* data, size_t length,
                              bool append) {
    if (append) {
        // Appending never creates a file: it must exist already.
        FILE* existing = std::fopen(path, "r");
        if (existing == nullptr) {
            std::fprintf(stderr, "Cannot open file for appending: \"%s\"\n", path);
            return false;
        }
        std::fclose(existing);
    }
    FILE* file = std::fopen(path, append ? "a" : "w+");
    if (file == nullptr) {
        std::fprintf(stderr, "Cannot open file for writing: \"%s\"\n", path);
        return false;
    }
    if (std::fwrite(data, 1, length, file) < length) {
        std::fprintf(stderr, "Cannot write to file: \"%s\"\n", path);
        std::fclose(file);
        return false;
    }
    std::fclose(file);
    return true;
}
