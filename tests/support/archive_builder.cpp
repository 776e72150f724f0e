#include "archive_builder.h"

#include <archive.h>
#include <archive_entry.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

[[noreturn]] void packer_fail(archive* writer) {
    std::fprintf(stderr, "archive builder: %s\n", archive_error_string(writer));
    std::abort();
}

la_ssize_t append(archive*, void* out, const void* data, size_t size) {
    static_cast<std::string*>(out)->append(static_cast<const char*>(data), size);
    return static_cast<la_ssize_t>(size);
}

void choose_format(archive* writer, archive_kind kind) {
    const bool zip = kind == archive_kind::zip_stored || kind == archive_kind::zip_deflated ||
                     kind == archive_kind::zip_encrypted;
    int status = ARCHIVE_OK;
    if (zip) {
        status = archive_write_set_format_zip(writer);
        if (status == ARCHIVE_OK && kind == archive_kind::zip_stored) {
            status = archive_write_set_options(writer, "zip:compression=store");
        }
        if (status == ARCHIVE_OK && kind == archive_kind::zip_encrypted) {
            status = archive_write_set_options(writer, "zip:encryption=zipcrypt");
            if (status == ARCHIVE_OK) {
                status = archive_write_set_passphrase(writer, "secret");
            }
        }
    } else if (kind == archive_kind::seven_zip) {
        status = archive_write_set_format_7zip(writer);
    } else if (kind == archive_kind::tar || kind == archive_kind::tar_gz) {
        status = archive_write_set_format_pax_restricted(writer);
        if (status == ARCHIVE_OK && kind == archive_kind::tar_gz) {
            status = archive_write_add_filter_gzip(writer);
        }
    } else {
        status = archive_write_set_format_raw(writer);
        if (status == ARCHIVE_OK) {
            status = kind == archive_kind::gz    ? archive_write_add_filter_gzip(writer)
                     : kind == archive_kind::bz2 ? archive_write_add_filter_bzip2(writer)
                                                 : archive_write_add_filter_xz(writer);
        }
    }
    if (status != ARCHIVE_OK) {
        packer_fail(writer);
    }
}

} // namespace

std::string archive_pack(archive_kind kind, const std::vector<archive_member>& members) {
    const std::unique_ptr<archive, decltype(&archive_write_free)> writer(archive_write_new(),
                                                                         archive_write_free);
    choose_format(writer.get(), kind);
    // Whole blocks would pad a bare stream and a tar with zeros to 10 KiB.
    archive_write_set_bytes_in_last_block(writer.get(), 1);
    std::string out;
    if (archive_write_open(writer.get(), &out, nullptr, append, nullptr) != ARCHIVE_OK) {
        packer_fail(writer.get());
    }
    const bool bare =
        kind == archive_kind::gz || kind == archive_kind::bz2 || kind == archive_kind::xz;
    for (const archive_member& member : members) {
        const std::unique_ptr<archive_entry, decltype(&archive_entry_free)> entry(
            archive_entry_new(), archive_entry_free);
        archive_entry_copy_pathname(entry.get(), member.name.c_str());
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_perm(entry.get(), 0644);
        archive_entry_set_size(entry.get(), static_cast<la_int64_t>(member.bytes.size()));
        archive_entry_set_mtime(entry.get(), 504921600, 0); // fixed, so that archives repeat
        if (archive_write_header(writer.get(), entry.get()) != ARCHIVE_OK ||
            archive_write_data(writer.get(), member.bytes.data(), member.bytes.size()) !=
                static_cast<la_ssize_t>(member.bytes.size())) {
            packer_fail(writer.get());
        }
        if (bare) {
            break;
        }
    }
    if (archive_write_close(writer.get()) != ARCHIVE_OK) {
        packer_fail(writer.get());
    }
    return out;
}
