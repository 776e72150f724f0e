// Reading a DAT file: its bytes as a stream (dat_source), told apart by their first
// bytes, then read as XML with libxml2's SAX2 parser (a Logiqx datafile or a MAME
// software list) or as ClrMamePro text with a small tokenizer: the DAT's name,
// each game (machine, resource, software) and each of its roms.
#include "dat.h"
#include "dat_source.h"

#include <charconv>
#include <cstring>
#include <string_view>

namespace verify {

namespace {

// load_dat() loads libxml2 before any of its functions is called.
const ondemand::xml_functions& xml() {
    static const ondemand::xml_functions& functions = *ondemand::xml_library(nullptr);
    return functions;
}

// ---------------------------------------------------------------------------
// Roms, whatever the format
// ---------------------------------------------------------------------------

// Hex digits in either case into bytes; nothing when the length or a digit is wrong.
template <std::size_t n>
std::optional<std::array<std::uint8_t, n>> from_hex(std::string_view digits) {
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

// A rom as its fields come, any order; `bad` once a field cannot be read.
struct rom_fields {
    rom found;
    bool bad = false;

    void set(std::string_view key, std::string_view value) {
        if (key == "name") {
            found.name = value;
        } else if (key == "size") {
            // A plain decimal number: no sign, no space, no 0x, and it fits.
            std::uint64_t size = 0;
            const auto [end, error] =
                std::from_chars(value.data(), value.data() + value.size(), size);
            bad =
                bad || value.empty() || error != std::errc{} || end != value.data() + value.size();
            found.size = size;
        } else if (key == "crc") {
            const auto crc = from_hex<4>(value);
            bad = bad || !crc;
            if (crc) {
                found.crc = std::uint32_t{(*crc)[0]} << 24 | std::uint32_t{(*crc)[1]} << 16 |
                            std::uint32_t{(*crc)[2]} << 8 | (*crc)[3];
            }
        } else if (key == "md5") {
            found.md5 = from_hex<16>(value);
            bad = bad || !found.md5;
        } else if (key == "sha1") {
            found.sha1 = from_hex<20>(value);
            bad = bad || !found.sha1;
        } else if (key == "status" || key == "flags") {
            found.status = value == "baddump"    ? rom_status::baddump
                           : value == "nodump"   ? rom_status::nodump
                           : value == "good"     ? rom_status::good
                           : value == "verified" ? rom_status::verified
                                                 : found.status;
        }
    }
};

// A rom worth keeping: every field read, and a size or a digest to match by.
bool usable(const rom_fields& fields) {
    const rom& found = fields.found;
    return !fields.bad && (found.size || found.crc || found.md5 || found.sha1);
}

// What a DAT's reader gathers: its name and its roms, a rom that cannot be read, that
// gives nothing to match by or that stands outside any game skipped and counted. Each
// game's name is kept once, with its first rom, however many roms it has.
struct gathered {
    catalog& into;
    std::int32_t dat;
    std::size_t first_rom;
    std::size_t first_game;
    dat_file file;
    bool game_kept = false; // the open game's name is the last of into.games

    void open_game() {
        game_kept = false;
    }
    void add(rom_fields&& fields, const std::string* game) {
        if (!usable(fields) || game == nullptr) {
            ++file.skipped;
            return;
        }
        if (!game_kept) {
            into.games.push_back(*game);
            game_kept = true;
        }
        fields.found.dat = dat;
        fields.found.game = static_cast<std::int32_t>(into.games.size() - 1);
        into.roms.push_back(std::move(fields.found));
    }
    void drop() {
        into.roms.resize(first_rom);
        into.games.resize(first_game);
    }
};

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

// ---------------------------------------------------------------------------
// What the bytes are
// ---------------------------------------------------------------------------

enum class dat_kind { xml, clrmamepro, none };

bool is_space(int byte) {
    return byte == ' ' || byte == '\t' || byte == '\r' || byte == '\n';
}

// Looks at the first bytes: XML starts with '<', ClrMamePro text with a word such as
// "clrmamepro" or "game". A UTF-8 byte order mark and white space before are skipped.
dat_kind sniff(dat_source& source, std::string* what) {
    if (!source.fill()) {
        *what = source.error.empty() ? "empty" : source.error;
        return dat_kind::none;
    }
    const std::string_view first(source.chunk.data(), source.size);
    constexpr std::string_view tar_magic = "ustar";
    if (first.size() >= 257 + tar_magic.size() &&
        first.substr(257, tar_magic.size()) == tar_magic) {
        *what = "a tar archive: not supported (a DAT may be plain, gzip, bzip2 or xz "
                "compressed, or the one file of a zip or 7z)";
        return dat_kind::none;
    }
    // UTF-16 shows in its byte order mark, or in the zero half of its first character.
    if (first.starts_with("\xFF\xFE") || first.starts_with("\xFE\xFF") ||
        (first.size() >= 2 && (first[0] == '\0') != (first[1] == '\0'))) {
        *what = "UTF-16 text: not supported (a DAT is read as UTF-8; convert it, as with "
                "iconv -f UTF-16 -t UTF-8)";
        return dat_kind::none;
    }
    if (first.starts_with("\xEF\xBB\xBF")) {
        source.at = 3;
    }
    while (is_space(source.peek())) {
        source.take();
    }
    const int byte = source.peek();
    if (byte == '<') {
        return dat_kind::xml;
    }
    if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z')) {
        return dat_kind::clrmamepro;
    }
    *what = byte < 0 && source.error.empty() ? "holds only white space"
            : byte < 0                       ? source.error
                       : "not a DAT: neither XML (a Logiqx datafile, a software list) nor "
                         "ClrMamePro text";
    return dat_kind::none;
}

// ---------------------------------------------------------------------------
// XML: Logiqx datafiles and MAME software lists
// ---------------------------------------------------------------------------

// A DAT never declares entities: one that does is refused before any is expanded (a
// few hundred bytes of nested entities expand to gigabytes). Each chunk is looked at
// before the parser gets it, with the seam to the chunk before.
struct entity_watch {
    static constexpr std::string_view k_declaration = "<!ENTITY";
    char carry[8] = {}; // the last bytes looked at
    std::size_t carried = 0;

    // True when the chunk, or the seam, holds a declaration.
    bool declares(std::string_view chunk) {
        constexpr std::size_t k_keep = k_declaration.size() - 1;
        char seam[2 * k_keep] = {};
        std::memcpy(seam, carry, carried);
        const std::size_t head = std::min(chunk.size(), k_keep);
        std::memcpy(seam + carried, chunk.data(), head);
        const std::string_view joined(seam, carried + head);
        if (joined.find(k_declaration) != std::string_view::npos ||
            chunk.find(k_declaration) != std::string_view::npos) {
            return true;
        }
        const std::string_view tail = chunk.size() >= k_keep ? chunk.substr(chunk.size() - k_keep)
                                      : joined.size() > k_keep
                                          ? joined.substr(joined.size() - k_keep)
                                          : joined;
        carried = tail.size();
        std::memcpy(carry, tail.data(), tail.size());
        return false;
    }
};

// The first error libxml2 reports, its first line, with its line number; a DAT that
// is not UTF-8 and says nothing of its encoding gets the advice to declare it.
void keep_first_error(std::string& message, const xmlError* error) {
    if (!message.empty() || error == nullptr) {
        return;
    }
    std::string text = error->message != nullptr ? error->message : "not well-formed";
    text = text.substr(0, text.find('\n'));
    while (!text.empty() && (text.back() == ' ' || text.back() == '!')) {
        text.pop_back();
    }
    if (text.starts_with("Input is not proper UTF-8")) {
        text = "not UTF-8, and no encoding declared: declare the DAT's encoding, as in "
               "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>";
    }
    message = "line " + std::to_string(error->line) + ": " + text;
}

std::string_view text_of(const xmlChar* text) {
    return text != nullptr ? std::string_view(reinterpret_cast<const char*>(text))
                           : std::string_view();
}

// The elements of the two XML forms: a Logiqx datafile's header name, games (or
// machines) and roms; a software list's name (an attribute of its root), software
// and roms (in the data areas of its parts).
struct xml_form {
    std::string_view root;
    std::string_view game;
    std::string_view other_game; // another element that is a game
};
constexpr xml_form k_datafile{"datafile", "game", "machine"};
constexpr xml_form k_softwarelist{"softwarelist", "software", "software"};

// What the SAX callbacks know while the document streams by.
struct xml_walk {
    gathered& dat;
    xmlParserCtxtPtr parser = nullptr;
    const xml_form* form = nullptr;
    std::string what;  // why the walk stopped, or ""
    std::string error; // libxml2's first error
    int depth = 0;     // of the next element to start
    std::string game;
    int game_depth = -1; // of the open game, or -1
    bool in_header_name = false;
};

// The attributes of an element come as five pointers each: local name, prefix, URI,
// value and the end of the value (which is not terminated).
constexpr int k_attribute_fields = 5;

std::string_view attribute_value(const xmlChar** attributes, int index) {
    const xmlChar** fields = attributes + k_attribute_fields * index;
    return {reinterpret_cast<const char*>(fields[3]),
            static_cast<std::size_t>(fields[4] - fields[3])};
}

std::string attribute(int count, const xmlChar** attributes, std::string_view wanted) {
    for (int i = 0; i < count; ++i) {
        if (text_of(attributes[k_attribute_fields * i]) == wanted) {
            return std::string(attribute_value(attributes, i));
        }
    }
    return {};
}

void start_element(void* context, const xmlChar* local_name, const xmlChar*, const xmlChar*, int,
                   const xmlChar**, int attribute_count, int, const xmlChar** attributes) {
    auto& walk = *static_cast<xml_walk*>(context);
    const std::string_view name = text_of(local_name);
    const int depth = walk.depth++;
    if (walk.form == nullptr) {
        walk.form = name == k_datafile.root       ? &k_datafile
                    : name == k_softwarelist.root ? &k_softwarelist
                                                  : nullptr;
        if (walk.form == nullptr) {
            walk.what = "not a DAT: its root element is <" + std::string(name) +
                        ">, not <datafile> or <softwarelist>";
            xml().xmlStopParser(walk.parser);
        } else if (walk.form == &k_softwarelist) {
            walk.dat.file.name = attribute(attribute_count, attributes, "name");
        }
        return;
    }
    if (name == "rom") {
        rom_fields fields;
        for (int i = 0; i < attribute_count; ++i) {
            fields.set(text_of(attributes[k_attribute_fields * i]), attribute_value(attributes, i));
        }
        walk.dat.add(std::move(fields), walk.game_depth >= 0 ? &walk.game : nullptr);
    } else if (depth == 1 && (name == walk.form->game || name == walk.form->other_game)) {
        walk.game = attribute(attribute_count, attributes, "name");
        walk.game_depth = depth;
        walk.dat.open_game();
    } else if (depth == 2 && name == "name" && walk.form == &k_datafile &&
               walk.dat.file.name.empty()) {
        walk.in_header_name = true;
    }
}

void end_element(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
    auto& walk = *static_cast<xml_walk*>(context);
    walk.in_header_name = false;
    if (--walk.depth == walk.game_depth) {
        walk.game_depth = -1;
    }
}

void characters(void* context, const xmlChar* text, int length) {
    auto& walk = *static_cast<xml_walk*>(context);
    if (walk.in_header_name) {
        walk.dat.file.name.append(reinterpret_cast<const char*>(text),
                                  static_cast<std::size_t>(length));
    }
}

void structured_error(void* context, xmlErrorPtr error) {
    keep_first_error(static_cast<xml_walk*>(context)->error, error);
}

// The document pushed through libxml2's SAX2 parser, chunk by chunk as it is read.
bool parse_xml(dat_source& source, gathered& dat, std::string* what) {
    xmlSAXHandler handler{};
    handler.initialized = XML_SAX2_MAGIC;
    handler.startElementNs = start_element;
    handler.endElementNs = end_element;
    handler.characters = characters;
    handler.cdataBlock = characters;
    handler.serror = structured_error;
    xml_walk walk{dat, nullptr, nullptr, {}, {}, 0, {}, -1, false};
    std::unique_ptr<xmlParserCtxt, decltype(&xmlFreeParserCtxt)> parser(
        xml().xmlCreatePushParserCtxt(&handler, &walk, nullptr, 0, ""), xml().xmlFreeParserCtxt);
    if (!parser) {
        *what = "cannot be parsed";
        return false;
    }
    walk.parser = parser.get();
    // The predefined entities and character references replaced in attribute values
    // (no other entity exists: a declaration is refused below), no DTD loaded (the
    // handler has no external subset), no network, and the parser's own limits kept
    // (no XML_PARSE_HUGE).
    xml().xmlCtxtUseOptions(parser.get(), XML_PARSE_NOENT | XML_PARSE_NONET | XML_PARSE_NOERROR |
                                              XML_PARSE_NOWARNING);
    entity_watch entities;
    bool parsed = true;
    for (bool more = source.at < source.size || source.fill(); more && parsed && walk.what.empty();
         more = source.fill()) {
        const std::string_view chunk(source.chunk.data() + source.at, source.size - source.at);
        source.at = source.size;
        if (entities.declares(chunk)) {
            *what = "declares entities, which a DAT never does: refused (expanding them can "
                    "take any time and memory)";
            return false;
        }
        // A chunk is at most the source's 64 KiB.
        parsed = xml().xmlParseChunk(parser.get(), chunk.data(), static_cast<int>(chunk.size()),
                                     0) == 0 &&
                 walk.error.empty();
    }
    if (parsed && walk.what.empty() && source.error.empty()) {
        xml().xmlParseChunk(parser.get(), nullptr, 0, 1);
    }
    if (!source.error.empty()) {
        *what = source.error;
        return false;
    }
    if (!walk.what.empty() || !walk.error.empty()) {
        *what = !walk.what.empty() ? walk.what : walk.error;
        return false;
    }
    if (walk.form == nullptr) {
        *what = "not a DAT: no element";
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// ClrMamePro text: blocks of `key value` pairs in parentheses
// ---------------------------------------------------------------------------

// A token: '(' or ')', a string in double quotes (spaces and parentheses allowed
// inside, a quote or backslash after a backslash), or a word up to white space or a
// parenthesis.
struct token {
    enum { open, close, text, end, bad } kind = end;
    std::string value;
    int line = 0;
};

// Longer strings than any DAT needs are a damaged or hostile file.
constexpr std::size_t k_longest_token = 1 << 16;
// Unknown fields may nest their own blocks; deeper than this is no DAT.
constexpr int k_deepest_block = 16;

token next_token(dat_source& source) {
    while (is_space(source.peek())) {
        source.take();
    }
    token found;
    found.line = source.line;
    const int first = source.take();
    if (first < 0) {
        found.kind = source.error.empty() ? token::end : token::bad;
        return found;
    }
    if (first == '(' || first == ')') {
        found.kind = first == '(' ? token::open : token::close;
        return found;
    }
    found.kind = token::text;
    if (first == '"') {
        for (int byte = source.take(); byte != '"'; byte = source.take()) {
            if (byte == '\\' && (source.peek() == '"' || source.peek() == '\\')) {
                byte = source.take();
            }
            if (byte < 0 || found.value.size() == k_longest_token) {
                found.kind = token::bad;
                found.value = byte < 0 ? "a string without its closing quote" : "a string too long";
                return found;
            }
            found.value += static_cast<char>(byte);
        }
        return found;
    }
    found.value = static_cast<char>(first);
    for (int byte = source.peek(); byte >= 0 && !is_space(byte) && byte != '(' && byte != ')';
         byte = source.peek()) {
        if (found.value.size() == k_longest_token) {
            found.kind = token::bad;
            found.value = "a word too long";
            return found;
        }
        found.value += static_cast<char>(source.take());
    }
    return found;
}

struct cmpro_reader {
    dat_source& source;
    gathered& dat;
    std::string error;

    bool fail(const token& at, const std::string& what) {
        if (error.empty()) {
            error = !source.error.empty() ? source.error
                                          : "line " + std::to_string(at.line) + ": " + what;
        }
        return false;
    }

    // A value: a word, a string, or a block of any depth, skipped.
    bool value(token& into) {
        into = next_token(source);
        if (into.kind == token::text) {
            return true;
        }
        if (into.kind != token::open) {
            return fail(into, into.kind == token::bad ? into.value : "a field without its value");
        }
        for (int depth = 1; depth > 0;) {
            const token inner = next_token(source);
            if (inner.kind == token::end || inner.kind == token::bad) {
                return fail(inner, "a block without its closing parenthesis");
            }
            depth += inner.kind == token::open ? 1 : inner.kind == token::close ? -1 : 0;
            if (depth > k_deepest_block) {
                return fail(inner, "blocks nested too deep");
            }
        }
        into.value.clear();
        return true;
    }

    // The `key value` pairs of a block up to its ')', each handed to `field`.
    template <class Field> bool block(Field&& field) {
        const token opening = next_token(source);
        if (opening.kind != token::open) {
            return fail(opening, "a block without its opening parenthesis");
        }
        for (;;) {
            const token key = next_token(source);
            if (key.kind == token::close) {
                return true;
            }
            if (key.kind != token::text) {
                return fail(key, key.kind == token::bad
                                     ? key.value
                                     : "a block without its closing parenthesis");
            }
            if (!field(key)) {
                return false;
            }
        }
    }

    bool rom_block(rom_fields& fields) {
        return block([&](const token& key) {
            token found;
            if (!value(found)) {
                return false;
            }
            fields.set(key.value, found.value);
            return true;
        });
    }

    bool game_block() {
        std::string game;
        std::vector<rom_fields> roms;
        // Fields come in any order: the name may follow the roms.
        const bool read = block([&](const token& key) {
            if (key.value == "rom") {
                // Only roms worth keeping wait for the game's name.
                rom_fields fields;
                if (!rom_block(fields)) {
                    return false;
                }
                if (usable(fields)) {
                    roms.push_back(std::move(fields));
                } else {
                    ++dat.file.skipped;
                }
                return true;
            }
            token found;
            if (!value(found)) {
                return false;
            }
            if (key.value == "name") {
                game = found.value;
            }
            return true;
        });
        dat.open_game();
        for (rom_fields& fields : roms) {
            dat.add(std::move(fields), &game);
        }
        return read;
    }

    // A rom outside any game: read, then skipped and counted.
    bool lone_rom() {
        rom_fields fields;
        if (!rom_block(fields)) {
            return false;
        }
        dat.add(std::move(fields), nullptr);
        return true;
    }

    bool header_block() {
        return block([&](const token& key) {
            token found;
            if (!value(found)) {
                return false;
            }
            if (key.value == "name" && dat.file.name.empty()) {
                dat.file.name = found.value;
            }
            return true;
        });
    }

    bool file() {
        for (;;) {
            const token kind = next_token(source);
            if (kind.kind == token::end) {
                return true;
            }
            if (kind.kind != token::text) {
                return fail(kind,
                            kind.kind == token::bad ? kind.value : "a parenthesis out of place");
            }
            const bool read =
                kind.value == "clrmamepro" ? header_block()
                : kind.value == "game" || kind.value == "machine" || kind.value == "resource"
                    ? game_block()
                : kind.value == "rom" ? lone_rom()
                                      : block([&](const token&) {
                                            token skipped;
                                            return value(skipped);
                                        });
            if (!read) {
                return false;
            }
        }
    }
};

bool parse_clrmamepro(dat_source& source, gathered& dat, std::string* what) {
    cmpro_reader reader{source, dat, {}};
    if (!reader.file()) {
        *what = reader.error;
        return false;
    }
    return true;
}

// The DAT's name when it gives none: its file name without folder and extension.
std::string name_from_path(const std::string& path) {
    std::string name = without_compression_suffix(path.substr(path.rfind('/') + 1));
    const std::size_t dot = name.rfind('.');
    return dot != std::string::npos && dot > 0 ? name.substr(0, dot) : name;
}

} // namespace

namespace {

// Reads the DAT from its open source into `into`; false with what is wrong.
bool load_from(dat_source& source, const std::string& path, catalog& into, std::string* what) {
    gathered dat{into, static_cast<std::int32_t>(into.dats.size()), into.roms.size(),
                 into.games.size(), dat_file{path, "", 0}};
    const dat_kind kind = sniff(source, what);
    const bool read = kind == dat_kind::xml          ? parse_xml(source, dat, what)
                      : kind == dat_kind::clrmamepro ? parse_clrmamepro(source, dat, what)
                                                     : false;
    if (read && more_members(source)) {
        *what = "an archive that holds more than one file";
    } else if (read) {
        if (dat.file.name.empty()) {
            dat.file.name = name_from_path(path);
        }
        for (std::size_t i = dat.first_rom; i < into.roms.size(); ++i) {
            index_rom(into, static_cast<std::int32_t>(i));
        }
        into.dats.push_back(std::move(dat.file));
        return true;
    }
    dat.drop();
    return false;
}

} // namespace

bool load_dat(const std::string& path, catalog& into, std::string* message, std::uint64_t limit) {
    std::string what;
    dat_source source;
    if (ondemand::archive_library(&what) == nullptr || ondemand::xml_library(&what) == nullptr ||
        !open_dat_source(path, limit, source, &what) || !load_from(source, path, into, &what)) {
        *message = "Cannot use the DAT file \"" + path + "\": " + what;
        return false;
    }
    return true;
}

bool load_dat_bytes(const std::string& name, const std::uint8_t* data, std::size_t size,
                    catalog& into, std::string* message, std::uint64_t limit) {
    std::string what;
    dat_source source;
    if (ondemand::archive_library(&what) == nullptr || ondemand::xml_library(&what) == nullptr ||
        !open_dat_memory(data, size, limit, source, &what) ||
        !load_from(source, name, into, &what)) {
        *message = "Cannot use the DAT file \"" + name + "\": " + what;
        return false;
    }
    return true;
}

} // namespace verify
