// Libraries that only some runs need, loaded by their SONAME the first time one is
// needed: libarchive (archives, compressed images and DATs), libxml2 (XML DATs) and
// zlib (the CRC-32 of the JSON record and of DAT matching).
// A listing of one image, the most frequent run, loads neither and starts as fast as
// a small C program; a run that needs one and cannot load it says so in one line.
// Their functions are called through the tables below, declared by the libraries'
// own headers.
#ifndef FLOPPEEK_ONDEMAND_H
#define FLOPPEEK_ONDEMAND_H

#include <archive.h>
#include <archive_entry.h>
#include <libxml/parser.h>
#include <zlib.h>

#include <string>

namespace ondemand {

// The SONAMEs loaded, which the program's package must depend on.
inline constexpr const char* k_archive_soname = "libarchive.so.13";
inline constexpr const char* k_xml_soname = "libxml2.so.2";
inline constexpr const char* k_zlib_soname = "libz.so.1";

#define FLOPPEEK_ARCHIVE_FUNCTIONS(X)                                                              \
    X(archive_entry_filetype)                                                                      \
    X(archive_entry_is_encrypted)                                                                  \
    X(archive_entry_pathname)                                                                      \
    X(archive_entry_size)                                                                          \
    X(archive_entry_size_is_set)                                                                   \
    X(archive_error_string)                                                                        \
    X(archive_filter_code)                                                                         \
    X(archive_format)                                                                              \
    X(archive_read_data)                                                                           \
    X(archive_read_free)                                                                           \
    X(archive_read_new)                                                                            \
    X(archive_read_next_header)                                                                    \
    X(archive_read_open)                                                                           \
    X(archive_read_open_fd)                                                                        \
    X(archive_read_open_filename)                                                                  \
    X(archive_read_open_memory)                                                                    \
    X(archive_read_support_filter_all)                                                             \
    X(archive_read_support_format_all)                                                             \
    X(archive_read_support_format_raw)                                                             \
    X(archive_read_support_format_zip)                                                             \
    X(archive_read_support_format_7zip)

#define FLOPPEEK_XML_FUNCTIONS(X)                                                                  \
    X(xmlCreatePushParserCtxt)                                                                     \
    X(xmlCtxtUseOptions)                                                                           \
    X(xmlFreeParserCtxt)                                                                           \
    X(xmlParseChunk)                                                                               \
    X(xmlStopParser)

#define FLOPPEEK_ZLIB_FUNCTIONS(X) X(crc32)

#define FLOPPEEK_ONDEMAND_POINTER(name) decltype(&::name) name = nullptr;

struct archive_functions {
    FLOPPEEK_ARCHIVE_FUNCTIONS(FLOPPEEK_ONDEMAND_POINTER)
};

struct xml_functions {
    FLOPPEEK_XML_FUNCTIONS(FLOPPEEK_ONDEMAND_POINTER)
};

struct zlib_functions {
    FLOPPEEK_ZLIB_FUNCTIONS(FLOPPEEK_ONDEMAND_POINTER)
};

#undef FLOPPEEK_ONDEMAND_POINTER

// archive_library() / xml_library() / zlib_library() :
//   The library's functions, loaded at the first call (from any thread; later calls
//   return the same table). @return null when the library or one of its functions
//   cannot be loaded, with the one line to print in *message (when not null).
const archive_functions* archive_library(std::string* message);
const xml_functions* xml_library(std::string* message);
const zlib_functions* zlib_library(std::string* message);

} // namespace ondemand

#endif // FLOPPEEK_ONDEMAND_H
