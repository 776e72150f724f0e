// Packs bytes into archives in memory with libarchive's writer, for the tests, the
// fuzz seeds and the benchmark: zip (stored, deflated or encrypted), 7z, tar, and
// bare gzip, bzip2 or xz streams.
#ifndef FLOPPEEK_ARCHIVE_BUILDER_H
#define FLOPPEEK_ARCHIVE_BUILDER_H

#include <string>
#include <vector>

struct archive_member {
    std::string name; // raw bytes, '/' between folders
    std::string bytes;
};

enum class archive_kind {
    zip_stored,
    zip_deflated,
    zip_encrypted,
    seven_zip,
    tar,
    tar_gz,
    gz,
    bz2,
    xz
};

// The archive's bytes. A bare stream (gz, bz2, xz) holds the first member only.
std::string archive_pack(archive_kind kind, const std::vector<archive_member>& members);

#endif // FLOPPEEK_ARCHIVE_BUILDER_H
