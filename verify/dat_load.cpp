// Reading a DAT file: its bytes out of a gzip stream or a zip (libarchive), then its
// XML with libxml2's streaming reader: the header's name, each game (or machine) and
// each of its roms.
#include "dat.h"

#include "ondemand.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string_view>

namespace verify {

namespace {

using archive_ptr = std::unique_ptr<archive, decltype(&archive_read_free)>;
using reader_ptr = std::unique_ptr<xmlTextReader, decltype(&xmlFreeTextReader)>;

// The libraries' functions, loaded on demand: load_dat() loads both first.
const ondemand::archive_functions& la() {
    return *ondemand::archive_library(nullptr);
}
const ondemand::xml_functions& xml() {
    return *ondemand::xml_library(nullptr);
}

// The DAT's bytes: a plain file or a gzip stream as one raw entry, a zip's one member.
bool read_bytes(const std::string& path, std::string* bytes, std::string* what) {
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error) && std::filesystem::file_size(path, error) == 0) {
        *what = "empty";
        return false;
    }
    archive_ptr reader(la().archive_read_new(), la().archive_read_free);
    la().archive_read_support_filter_all(reader.get());
    la().archive_read_support_format_zip(reader.get());
    la().archive_read_support_format_raw(reader.get());
    if (la().archive_read_open_filename(reader.get(), path.c_str(), 1 << 16) != ARCHIVE_OK) {
        *what = la().archive_error_string(reader.get()) != nullptr
                    ? la().archive_error_string(reader.get())
                    : "cannot be read";
        return false;
    }
    archive_entry* entry = nullptr;
    int members = 0;
    for (;;) {
        const int status = la().archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF) {
            break;
        }
        if (status != ARCHIVE_OK && status != ARCHIVE_WARN) {
            *what = la().archive_error_string(reader.get()) != nullptr
                        ? la().archive_error_string(reader.get())
                        : "cannot be read";
            return false;
        }
        if (la().archive_entry_filetype(entry) != AE_IFREG) {
            continue;
        }
        if (++members > 1) {
            *what = "a zip that holds more than one file";
            return false;
        }
        char buffer[1 << 16];
        for (la_ssize_t got;
             (got = la().archive_read_data(reader.get(), buffer, sizeof buffer)) != 0;) {
            if (got < 0) {
                *what = la().archive_error_string(reader.get()) != nullptr
                            ? la().archive_error_string(reader.get())
                            : "cannot be read";
                return false;
            }
            bytes->append(buffer, static_cast<std::size_t>(got));
        }
    }
    if (members == 0) {
        *what = "a zip that holds no file";
        return false;
    }
    if (bytes->empty()) {
        *what = "empty";
        return false;
    }
    return true;
}

// Hex digits in either case into bytes; nothing when the length or a digit is wrong.
template <std::size_t n> std::optional<std::array<std::uint8_t, n>> from_hex(const xmlChar* text) {
    if (text == nullptr) {
        return std::nullopt;
    }
    const std::string_view digits(reinterpret_cast<const char*>(text));
    if (digits.size() != 2 * n) {
        return std::nullopt;
    }
    std::array<std::uint8_t, n> bytes{};
    for (std::size_t i = 0; i < 2 * n; ++i) {
        const char c = digits[i];
        const int value = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (value < 0) {
            return std::nullopt;
        }
        bytes[i / 2] = static_cast<std::uint8_t>(bytes[i / 2] << 4 | value);
    }
    return bytes;
}

// The rom element's attributes, read in place (libxml2 keeps them while the reader
// stands on the element).
rom rom_of(xmlTextReaderPtr reader, std::int32_t dat, const std::string& game) {
    rom found;
    found.dat = dat;
    found.game = game;
    for (int more = xml().xmlTextReaderMoveToFirstAttribute(reader); more == 1;
         more = xml().xmlTextReaderMoveToNextAttribute(reader)) {
        const auto* key = reinterpret_cast<const char*>(xml().xmlTextReaderConstLocalName(reader));
        const xmlChar* value = xml().xmlTextReaderConstValue(reader);
        if (key == nullptr || value == nullptr) {
            continue;
        }
        const std::string_view name(key);
        const auto* text = reinterpret_cast<const char*>(value);
        if (name == "name") {
            found.name = text;
        } else if (name == "size") {
            char* end = nullptr;
            const unsigned long long size = std::strtoull(text, &end, 10);
            if (end != text && *end == '\0') {
                found.size = size;
            }
        } else if (name == "crc") {
            if (const auto crc = from_hex<4>(value)) {
                found.crc = std::uint32_t{(*crc)[0]} << 24 | std::uint32_t{(*crc)[1]} << 16 |
                            std::uint32_t{(*crc)[2]} << 8 | (*crc)[3];
            }
        } else if (name == "md5") {
            found.md5 = from_hex<16>(value);
        } else if (name == "sha1") {
            found.sha1 = from_hex<20>(value);
        } else if (name == "status") {
            const std::string_view status(text);
            found.status = status == "baddump"    ? rom_status::baddump
                           : status == "nodump"   ? rom_status::nodump
                           : status == "good"     ? rom_status::good
                           : status == "verified" ? rom_status::verified
                                                  : rom_status::none;
        }
    }
    xml().xmlTextReaderMoveToElement(reader);
    return found;
}

// The name attribute of the element the reader stands on, read in place.
std::string name_attribute(xmlTextReaderPtr reader) {
    std::string name;
    for (int more = xml().xmlTextReaderMoveToFirstAttribute(reader); more == 1;
         more = xml().xmlTextReaderMoveToNextAttribute(reader)) {
        const xmlChar* key = xml().xmlTextReaderConstLocalName(reader);
        const xmlChar* value = xml().xmlTextReaderConstValue(reader);
        if (key != nullptr && value != nullptr &&
            std::string_view(reinterpret_cast<const char*>(key)) == "name") {
            name = reinterpret_cast<const char*>(value);
        }
    }
    xml().xmlTextReaderMoveToElement(reader);
    return name;
}

// The first error libxml2 reports, with its line.
void keep_first_error(void* context, xmlErrorPtr error) {
    auto& message = *static_cast<std::string*>(context);
    if (message.empty() && error != nullptr) {
        std::string text = error->message != nullptr ? error->message : "not well-formed";
        while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
            text.pop_back();
        }
        message = "line " + std::to_string(error->line) + ": " + text;
    }
}

void index_rom(catalog& into, std::int32_t index) {
    const rom& found = into.roms[static_cast<std::size_t>(index)];
    if (!found.can_match()) {
        return;
    }
    if (found.sha1) {
        into.by_sha1.emplace(*found.sha1, index);
    } else if (found.md5) {
        into.by_md5.emplace(*found.md5, index);
    } else {
        into.by_crc_size.emplace(crc_size_key(*found.crc, *found.size), index);
    }
}

bool parse(const std::string& bytes, const std::string& path, catalog& into,
           std::string* what) {
    const auto dat = static_cast<std::int32_t>(into.dats.size());
    reader_ptr reader(xml().xmlReaderForMemory(bytes.data(), static_cast<int>(bytes.size()),
                                               path.c_str(), nullptr,
                                               XML_PARSE_NONET | XML_PARSE_NOERROR |
                                                   XML_PARSE_NOWARNING | XML_PARSE_HUGE),
                      xml().xmlFreeTextReader);
    if (!reader) {
        *what = "cannot be parsed";
        return false;
    }
    std::string error;
    xml().xmlTextReaderSetStructuredErrorHandler(reader.get(), keep_first_error, &error);
    dat_file file{path, ""};
    std::string game;
    bool root_seen = false;
    bool in_header = false;
    bool in_header_name = false; // the next text is the header's name
    const std::size_t first_rom = into.roms.size();
    int status = 0;
    while ((status = xml().xmlTextReaderRead(reader.get())) == 1) {
        const int type = xml().xmlTextReaderNodeType(reader.get());
        const std::string name =
            reinterpret_cast<const char*>(xml().xmlTextReaderConstLocalName(reader.get()) != nullptr
                                              ? xml().xmlTextReaderConstLocalName(reader.get())
                                              : reinterpret_cast<const xmlChar*>(""));
        if (type == XML_READER_TYPE_END_ELEMENT && name == "header") {
            in_header = false;
        }
        if (in_header_name && (type == XML_READER_TYPE_TEXT || type == XML_READER_TYPE_CDATA)) {
            const xmlChar* text = xml().xmlTextReaderConstValue(reader.get());
            file.name += text != nullptr ? reinterpret_cast<const char*>(text) : "";
            continue;
        }
        in_header_name = false;
        if (type != XML_READER_TYPE_ELEMENT) {
            continue;
        }
        if (!root_seen) {
            root_seen = true;
            if (name != "datafile") {
                *what = "not a datafile (its root element is <" + name + ">)";
                into.roms.resize(first_rom);
                return false;
            }
        } else if (name == "header" && !xml().xmlTextReaderIsEmptyElement(reader.get())) {
            in_header = true;
        } else if (name == "name" && in_header && file.name.empty()) {
            in_header_name = !xml().xmlTextReaderIsEmptyElement(reader.get());
        } else if (name == "game" || name == "machine") {
            game = name_attribute(reader.get());
        } else if (name == "rom") {
            into.roms.push_back(rom_of(reader.get(), dat, game));
        }
    }
    if (status < 0 || !error.empty()) {
        *what = error.empty() ? "not well-formed" : error;
        into.roms.resize(first_rom);
        return false;
    }
    if (!root_seen) {
        *what = "not a datafile (no element)";
        into.roms.resize(first_rom);
        return false;
    }
    for (std::size_t i = first_rom; i < into.roms.size(); ++i) {
        index_rom(into, static_cast<std::int32_t>(i));
    }
    into.dats.push_back(std::move(file));
    return true;
}

} // namespace

bool load_dat(const std::string& path, catalog& into, std::string* message) {
    std::string bytes;
    std::string what;
    if (ondemand::archive_library(&what) == nullptr || ondemand::xml_library(&what) == nullptr) {
        *message = "Cannot use the DAT file \"" + path + "\": " + what;
        return false;
    }
    if (!read_bytes(path, &bytes, &what) || !parse(bytes, path, into, &what)) {
        *message = "Cannot use the DAT file \"" + path + "\": " + what;
        return false;
    }
    return true;
}

} // namespace verify
