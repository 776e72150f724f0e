// Matching images against the DATs, the run's tally, and writing a DAT of the images.
#include "dat.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <ctime>
#include <random>

namespace verify {

std::size_t digest_hash::mix(const std::uint8_t* bytes, std::size_t size) {
    // Up to 24 bytes (a SHA-1 is 20) as 32-bit words, in pairs.
    constexpr std::size_t k_words = 6;
    static const std::array<std::uint64_t, k_words + 1> keys = [] {
        std::random_device device;
        std::array<std::uint64_t, k_words + 1> drawn{};
        for (std::uint64_t& key : drawn) {
            key = std::uint64_t{device()} << 32 | device();
        }
        return drawn;
    }();
    std::uint32_t words[k_words] = {};
    std::memcpy(words, bytes, std::min(size, sizeof words));
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < k_words; i += 2) {
        sum += std::uint64_t{static_cast<std::uint32_t>(words[i] + keys[i])} *
               static_cast<std::uint32_t>(words[i + 1] + keys[i + 1]);
    }
    // A finaliser that spreads every bit of the sum over the whole result.
    sum ^= keys[k_words];
    sum ^= sum >> 33;
    sum *= 0xFF51AFD7ED558CCDULL;
    sum ^= sum >> 33;
    sum *= 0xC4CEB9FE1A85EC53ULL;
    sum ^= sum >> 33;
    return static_cast<std::size_t>(sum);
}

std::size_t digest_hash::operator()(std::uint64_t key) const {
    std::uint8_t bytes[sizeof key];
    std::memcpy(bytes, &key, sizeof key);
    return mix(bytes, sizeof bytes);
}

namespace {

// A freshly formatted sector holds 0x4B and then 255 bytes of 0x01.
constexpr std::size_t k_sector_size = 256;
constexpr std::uint8_t k_formatted_first = 0x4B;
constexpr std::uint8_t k_formatted_rest = 0x01;

// Every rom whose hash is the image's, each with the hash it matched by.
std::vector<match> exact_matches(const catalog& dats, const hashes& image) {
    std::vector<match> found;
    const auto add = [&](const auto& index, const auto& key, hash_kind by) {
        const auto [begin, end] = index.equal_range(key);
        for (auto at = begin; at != end; ++at) {
            const rom& candidate = dats.roms[static_cast<std::size_t>(at->second)];
            if (by != hash_kind::crc32 || (candidate.size && *candidate.size == image.size)) {
                found.push_back({at->second, by, std::nullopt, false});
            }
        }
    };
    add(dats.by_sha1, image.sha1, hash_kind::sha1);
    add(dats.by_md5, image.md5, hash_kind::md5);
    add(dats.by_crc_size, crc_size_key(image.crc32, image.size), hash_kind::crc32);
    std::sort(found.begin(), found.end(),
              [](const match& a, const match& b) { return a.rom < b.rom; });
    return found;
}

bool only_no_error_codes(const d64_disk* disk) {
    const std::uint8_t* codes = disk->image + disk->sector_data_size;
    return std::all_of(codes, codes + disk->error_info_size,
                       [](std::uint8_t code) { return code <= D64_NO_ERROR; });
}

bool is_empty_sector(const std::uint8_t* sector) {
    const bool zeros =
        std::all_of(sector, sector + k_sector_size, [](std::uint8_t b) { return b == 0; });
    const bool formatted = sector[0] == k_formatted_first &&
                           std::all_of(sector + 1, sector + k_sector_size,
                                       [](std::uint8_t b) { return b == k_formatted_rest; });
    return zeros || formatted;
}

// The image in one of its normal forms (its bytes, and the form's name), or nothing
// when that form does not apply. Each asks the format's shape, never its name.
struct normal_bytes {
    const std::uint8_t* bytes;
    std::size_t size;
    std::string form;
};
using normal_form = std::optional<normal_bytes> (*)(const d64_disk* disk,
                                                    const d64_format_shape& shape);

// A sector image whose error codes all say "no error": its sectors alone.
std::optional<normal_bytes> without_error_bytes(const d64_disk* disk,
                                                const d64_format_shape& shape) {
    if (shape.signature != nullptr || disk->error_info_size == 0 || !only_no_error_codes(disk)) {
        return std::nullopt;
    }
    return normal_bytes{disk->image, static_cast<std::size_t>(disk->sector_data_size),
                        "error_bytes_dropped"};
}

// A sector image with tracks past the standard count that hold nothing: the standard
// disk alone.
std::optional<normal_bytes> without_empty_tracks(const d64_disk* disk,
                                                 const d64_format_shape& shape) {
    std::uint64_t standard_bytes = 0;
    if (shape.signature != nullptr || disk->track_count <= shape.standard_tracks ||
        !d64_get_track_offset(shape.format, shape.standard_tracks + 1, &standard_bytes) ||
        (disk->error_info_size != 0 && !only_no_error_codes(disk))) {
        return std::nullopt;
    }
    for (std::uint64_t at = standard_bytes; at < disk->sector_data_size; at += k_sector_size) {
        if (!is_empty_sector(disk->image + at)) {
            return std::nullopt;
        }
    }
    return normal_bytes{disk->image, static_cast<std::size_t>(standard_bytes),
                        "empty_tracks_dropped"};
}

// A raw track dump: the sector image it decodes into, with its error codes when a
// sector is not read cleanly (named after the kind of dump: "g64_decoded", ...).
std::optional<normal_bytes> decoded_dump(const d64_disk* disk, const d64_format_shape& shape) {
    if (shape.dump_family == nullptr) {
        return std::nullopt;
    }
    const bool clean = only_no_error_codes(disk);
    return normal_bytes{
        disk->image,
        static_cast<std::size_t>(disk->sector_data_size + (clean ? 0 : disk->error_info_size)),
        std::string(shape.dump_family) + "_decoded"};
}

constexpr normal_form k_normal_forms[] = {without_error_bytes, without_empty_tracks, decoded_dump};

bool is_good(const rom& found) {
    return found.status == rom_status::good || found.status == rom_status::verified ||
           found.status == rom_status::none;
}

} // namespace

std::string percent_escaped(const std::string& text) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        std::size_t length = byte < 0x80           ? 1
                             : (byte >> 5) == 0x6  ? 2
                             : (byte >> 4) == 0xE  ? 3
                             : (byte >> 3) == 0x1E ? 4
                                                   : 0;
        bool valid = length != 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        }
        if (!valid || byte < 0x20 || byte == 0x7F || byte == '%') {
            out += '%';
            out += digits[byte >> 4];
            out += digits[byte & 0x0F];
            ++i;
            continue;
        }
        out.append(text, i, length);
        i += length;
    }
    return out;
}

std::string without_compression_suffix(const std::string& name) {
    for (const std::string suffix : {".gz", ".bz2", ".xz"}) {
        if (name.size() > suffix.size() &&
            std::equal(suffix.rbegin(), suffix.rend(), name.rbegin(), [](char a, char b) {
                return a == (b >= 'A' && b <= 'Z' ? static_cast<char>(b + 32) : b);
            })) {
            return name.substr(0, name.size() - suffix.size());
        }
    }
    return name;
}

verdict verify_image(const catalog& dats, const hashes& image, const d64_disk* disk,
                     const std::string& file_name) {
    verdict result;
    result.matches = exact_matches(dats, image);
    if (!result.matches.empty()) {
        // A DAT of ours names a file as percent_escaped() writes it.
        for (match& found : result.matches) {
            const std::string& rom_name = dats.roms[static_cast<std::size_t>(found.rom)].name;
            found.named = rom_name != file_name && rom_name != percent_escaped(file_name);
        }
        const auto good =
            std::find_if(result.matches.begin(), result.matches.end(), [&](const match& found) {
                return is_good(dats.roms[static_cast<std::size_t>(found.rom)]);
            });
        result.word = good != result.matches.end() ? "known" : "bad";
        result.shown = good != result.matches.end()
                           ? static_cast<std::size_t>(good - result.matches.begin())
                           : 0;
        return result;
    }
    d64_format_shape shape{};
    if (disk == nullptr || !d64_get_format_shape(disk->format, &shape)) {
        return result;
    }
    for (const normal_form form : k_normal_forms) {
        const std::optional<normal_bytes> derived = form(disk, shape);
        if (!derived) {
            continue;
        }
        result.matches = exact_matches(dats, catalogue::digests_of(derived->bytes, derived->size));
        if (!result.matches.empty()) {
            for (match& found : result.matches) {
                found.normal_form = derived->form;
            }
            result.word = "near";
            result.shown = 0;
            return result;
        }
    }
    return result;
}

tally::tally(const catalog& dats)
    : dats_(dats), exact_(dats.roms.size(), 0), near_(dats.roms.size(), 0),
      unknown_(dats.dats.size(), 0) {}

void tally::record(const verdict& result) {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::vector<bool> matched(dats_.dats.size(), false);
    for (const match& found : result.matches) {
        (!found.normal_form ? exact_ : near_)[static_cast<std::size_t>(found.rom)] = 1;
        matched[static_cast<std::size_t>(dats_.roms[static_cast<std::size_t>(found.rom)].dat)] =
            true;
    }
    for (std::size_t dat = 0; dat < matched.size(); ++dat) {
        unknown_[dat] += matched[dat] ? 0 : 1;
    }
}

std::vector<std::string> tally::summary() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> lines;
    for (std::size_t dat = 0; dat < dats_.dats.size(); ++dat) {
        int total = 0;
        int have = 0;
        int bad = 0;
        int near = 0;
        for (std::size_t i = 0; i < dats_.roms.size(); ++i) {
            const rom& found = dats_.roms[i];
            if (found.dat != static_cast<std::int32_t>(dat) || !found.can_match()) {
                continue;
            }
            ++total;
            have += exact_[i] != 0 && is_good(found) ? 1 : 0;
            bad += exact_[i] != 0 && found.status == rom_status::baddump ? 1 : 0;
            near += exact_[i] == 0 && near_[i] != 0 ? 1 : 0;
        }
        lines.push_back(dats_.dats[dat].name + ": have " + std::to_string(have) + " of " +
                        std::to_string(total) + ", bad " + std::to_string(bad) + ", near " +
                        std::to_string(near) + ", unknown images " + std::to_string(unknown_[dat]) +
                        (dats_.dats[dat].skipped > 0
                             ? ", skipped " + std::to_string(dats_.dats[dat].skipped)
                             : ""));
    }
    return lines;
}

std::vector<std::int32_t> tally::missing() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::int32_t> roms;
    for (std::size_t i = 0; i < dats_.roms.size(); ++i) {
        const rom& found = dats_.roms[i];
        if (found.can_match() && found.status != rom_status::baddump && exact_[i] == 0 &&
            near_[i] == 0) {
            roms.push_back(static_cast<std::int32_t>(i));
        }
    }
    return roms;
}

// ---------------------------------------------------------------------------
// Writing a DAT
// ---------------------------------------------------------------------------

namespace {

// Text as XML 1.0 carries it: markup characters escaped, and what percent_escaped()
// escapes.
std::string xml_text(const std::string& text) {
    std::string out;
    for (const char c : percent_escaped(text)) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string hex(const std::uint8_t* bytes, std::size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0x0F];
    }
    return text;
}

} // namespace

std::string make_dat_game(const std::string& path, const hashes& image) {
    const std::string bare = without_compression_suffix(path);
    const std::size_t slash = bare.rfind('/');
    const std::size_t dot = bare.rfind('.');
    const std::string game = dot != std::string::npos && (slash == std::string::npos || dot > slash)
                                 ? bare.substr(0, dot)
                                 : bare;
    const std::string file = slash == std::string::npos ? bare : bare.substr(slash + 1);
    const std::uint8_t crc[4] = {
        static_cast<std::uint8_t>(image.crc32 >> 24), static_cast<std::uint8_t>(image.crc32 >> 16),
        static_cast<std::uint8_t>(image.crc32 >> 8), static_cast<std::uint8_t>(image.crc32)};
    return "\t<game name=\"" + xml_text(game) + "\">\n\t\t<description>" + xml_text(game) +
           "</description>\n\t\t<rom name=\"" + xml_text(file) + "\" size=\"" +
           std::to_string(image.size) + "\" crc=\"" + hex(crc, 4) + "\" md5=\"" +
           hex(image.md5.data(), image.md5.size()) + "\" sha1=\"" +
           hex(image.sha1.data(), image.sha1.size()) + "\"/>\n\t</game>\n";
}

void game_names::make_unique(std::string& games) {
    // Each game as make_dat_game() writes it: its name twice, then its rom's.
    static const std::string game = "\t<game name=\"";
    static const std::string description = "\">\n\t\t<description>";
    static const std::string rom = "</description>\n\t\t<rom name=\"";
    for (std::size_t at = games.find(game); at != std::string::npos;
         at = games.find(game, at + 1)) {
        const std::size_t name_at = at + game.size();
        const std::size_t name_end = games.find(description, name_at);
        const std::size_t rom_found = games.find(rom, name_end);
        if (name_end == std::string::npos || rom_found == std::string::npos) {
            return;
        }
        const std::size_t rom_at = rom_found + rom.size();
        const std::string name = games.substr(name_at, name_end - name_at);
        const std::string file = games.substr(rom_at, games.find('"', rom_at) - rom_at);
        const std::size_t dot = file.rfind('.');
        std::string unique = name;
        if (taken_.count(unique) != 0 && dot != std::string::npos) {
            unique = name + file.substr(dot);
        }
        for (int count = 2; taken_.count(unique) != 0; ++count) {
            unique = name + "~" + std::to_string(count);
        }
        taken_.insert(unique);
        if (unique != name) {
            const std::size_t description_at = name_end + description.size();
            games.replace(description_at, name.size(), unique);
            games.replace(name_at, name.size(), unique);
        }
    }
}

std::string make_dat_header(const std::string& name) {
    const std::time_t now = std::time(nullptr);
    std::tm day{};
    gmtime_r(&now, &day);
    char date[16];
    std::strftime(date, sizeof date, "%Y-%m-%d", &day);
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE datafile PUBLIC \"-//Logiqx//DTD ROM Management Datafile//EN\" "
           "\"http://www.logiqx.com/Dats/datafile.dtd\">\n"
           "<datafile>\n\t<header>\n\t\t<name>" +
           xml_text(name) + "</name>\n\t\t<description>" + xml_text(name) +
           ", made by floppeek</description>\n\t\t<version>" + date + "</version>\n\t</header>\n";
}

std::string make_dat_footer() {
    return "</datafile>\n";
}

} // namespace verify
