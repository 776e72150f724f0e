// The JSON record of an image: one object on one line, keys in a fixed order,
// written by nlohmann-json. Names from file systems and archives may be any bytes:
// invalid UTF-8 is replaced by U+FFFD and the raw bytes are given in hex as well.
#include "catalogue.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace catalogue {

namespace {

using json = nlohmann::ordered_json;

std::string hex(const std::uint8_t* bytes, std::size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * size);
    for (std::size_t i = 0; i < size; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0x0F];
    }
    return text;
}

template <class Bytes> std::string hex(const Bytes& bytes) {
    return hex(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

std::string dump(const json& value, json::error_handler_t invalid) {
    return value.dump(-1, ' ', false, invalid);
}

// The members of an object's dump from `from` on, up to the value of the member
// `until` (or to the end, closing brace included), each after a comma but the first
// of the object.
std::string dump_members(const json& object, const char* from, const char* until) {
    std::string text = from == nullptr ? "{" : "";
    bool started = from == nullptr;
    for (auto item = object.begin(); item != object.end(); ++item) {
        if (!started) {
            started = item.key() == from;
            continue;
        }
        text += text == "{" ? "\"" : ",\"";
        text += item.key() + "\":";
        if (until != nullptr && item.key() == until) {
            return text;
        }
        text += dump(item.value(), json::error_handler_t::replace);
    }
    return text + "}";
}

// JSON escapes U+0000-001F but writes U+0080-009F as they are; a reader that splits
// at Unicode line breaks would cut a record at U+0085. They become \u escapes too.
std::string escape_c1(std::string line) {
    if (line.find('\xC2') == std::string::npos) {
        return line; // nothing to escape: no copy of a record that may be megabytes
    }
    std::string escaped;
    escaped.reserve(line.size());
    static const char digits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto byte = static_cast<unsigned char>(line[i]);
        const auto next = i + 1 < line.size() ? static_cast<unsigned char>(line[i + 1]) : 0;
        if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
            escaped += "\\u00";
            escaped += digits[next >> 4];
            escaped += digits[next & 0x0F];
            ++i;
        } else {
            escaped += line[i];
        }
    }
    return escaped;
}

// Replacing and dropping the invalid bytes give the same text only when there are none.
bool is_utf8(const std::string& text) {
    const json value = text;
    return dump(value, json::error_handler_t::replace) ==
           dump(value, json::error_handler_t::ignore);
}

void add_origin(json& record, const origin& where) {
    record["path"] = where.path;
    if (!is_utf8(where.path)) {
        record["path_hex"] = hex(where.path);
    }
    if (where.members.empty()) {
        return;
    }
    record["member"] = where.members;
    if (!std::all_of(where.members.begin(), where.members.end(), is_utf8)) {
        json raw = json::array();
        for (const std::string& member : where.members) {
            raw.push_back(hex(member));
        }
        record["member_hex"] = std::move(raw);
    }
}

// Type codes 0-4, and 5, valid on a 1581 only: a partition.
const char* type_name(const file_facts& file) {
    const char* name = nullptr;
    return file.valid_type && d64_file_type_name(file.type_byte, &name) ? name : nullptr;
}

std::string crc32_hex(std::uint32_t crc) {
    const std::uint8_t bytes[4] = {
        static_cast<std::uint8_t>(crc >> 24), static_cast<std::uint8_t>(crc >> 16),
        static_cast<std::uint8_t>(crc >> 8), static_cast<std::uint8_t>(crc)};
    return hex(bytes, sizeof bytes);
}

const char* format_name(d64_format format) {
    d64_format_facts facts{};
    return d64_get_format_facts(format, &facts) ? facts.name : "";
}

// A format whose disks may have tracks past the standard count: its records say the
// BAM layout of those tracks.
bool has_extended_tracks(d64_format format) {
    d64_format_facts facts{};
    return d64_get_format_facts(format, &facts) && facts.extended_tracks;
}

// A capture's decode also tells the table entries it left out and its killer tracks.
json decode_json(const d64_decode_facts& facts, bool track_captures) {
    const d64_gcr_decode_info& decode = facts.decode;
    json out = {{"tracks", decode.tracks},
                {"half_tracks_with_data", decode.half_tracks_with_data},
                {"sectors_ok", decode.sectors_ok},
                {"sectors_with_error", decode.sectors_with_error},
                {"duplicate_headers", decode.duplicate_headers},
                {"shortest_sync_bits",
                 decode.shortest_sync_bits != 0 ? json(decode.shortest_sync_bits) : json(nullptr)},
                {"copies_differ", facts.copies_differ}};
    if (track_captures) {
        out["ignored_entries"] = facts.ignored_entries;
        out["killer_tracks"] = facts.killer_tracks;
    }
    return out;
}

json bam_layout_json(d64_bam_layout layout) {
    switch (layout) {
    case D64_BAM_LAYOUT_PROLOGIC:
        return "prologic";
    case D64_BAM_LAYOUT_SPEEDDOS:
        return "speeddos";
    case D64_BAM_LAYOUT_DOLPHINDOS:
        return "dolphindos";
    case D64_BAM_LAYOUT_UNKNOWN:
        return "unknown";
    default:
        return nullptr;
    }
}

json chain_json(const std::optional<chain_facts>& chain) {
    if (!chain) {
        return nullptr;
    }
    json walked;
    walked["ok"] = chain->ok;
    walked["sectors"] = chain->sectors;
    walked["bytes"] = chain->bytes;
    walked["md5"] = chain->md5 ? json(hex(*chain->md5)) : json(nullptr);
    return walked;
}

json file_json(const file_facts& file, bool extracting) {
    json entry;
    entry["slot"] = file.slot;
    const char* type = type_name(file);
    entry["type"] = type != nullptr ? json(type) : json(nullptr);
    entry["type_byte"] = file.type_byte;
    entry["closed"] = (file.type_byte & D64_CLOSED_FLAG) != 0;
    entry["locked"] = (file.type_byte & D64_LOCKED_FLAG) != 0;
    entry["scratched"] = file.type_byte == 0;
    entry["name"] = file.name;
    entry["name_unicode"] = file.name_unicode;
    entry["name_hex"] = hex(file.raw_name);
    entry["blocks"] = file.blocks;
    entry["first"] = {file.first_track, file.first_sector};
    entry["chain"] = chain_json(file.chain);
    if (file.partition) {
        entry["partition"] = {{"first", {file.first_track, file.first_sector}},
                              {"sectors", file.blocks}};
    }
    if (extracting) {
        entry["extracted"] = file.extracted ? json(*file.extracted) : json(nullptr);
    }
    return entry;
}

json disk_json(const image_facts& facts) {
    json disk;
    disk["name"] = facts.disk_name;
    disk["name_unicode"] = facts.disk_name_unicode;
    disk["name_hex"] = hex(facts.raw_disk_name);
    disk["id"] = facts.disk_id;
    disk["id_unicode"] = facts.disk_id_unicode;
    disk["id_hex"] = hex(facts.raw_disk_id);
    disk["header_ok"] = facts.header_ok;
    disk["free_blocks"] = facts.free_blocks;
    if (has_extended_tracks(facts.format)) {
        disk["bam_layout"] = bam_layout_json(facts.bam_layout);
        disk["free_blocks_in_layout"] =
            facts.free_blocks_in_layout ? json(*facts.free_blocks_in_layout) : json(nullptr);
    }
    return disk;
}

const char* system_name(std::int32_t owner) {
    switch (owner) {
    case D64_OWNER_HEADER:
        return "header";
    case D64_OWNER_BAM:
        return "bam";
    case D64_OWNER_DIRECTORY:
        return "directory";
    case D64_OWNER_BORDER:
        return "border";
    default:
        return nullptr;
    }
}

json check_json(const check_facts& check) {
    json problems = json::array();
    for (const check_problem& problem : check.problems) {
        const char* severity = "";
        const char* code = "";
        d64_check_severity_name(problem.severity, &severity);
        d64_check_code_name(problem.code, &code);
        json entry;
        entry["severity"] = severity;
        entry["code"] = code;
        entry["files"] = problem.files;
        const char* system = system_name(problem.system);
        entry["system"] = system != nullptr ? json(system) : json(nullptr);
        json sectors = json::array();
        for (const auto& [track, sector] : problem.sectors) {
            sectors.push_back({track, sector});
        }
        entry["sectors"] = std::move(sectors);
        entry["track"] = problem.track != 0 ? json(problem.track) : json(nullptr);
        if (problem.code == D64_CHECK_LOST_FILE) {
            entry["first"] = {problem.first.first, problem.first.second};
            entry["count"] = problem.count;
            entry["md5"] = hex(problem.md5);
        } else if (problem.code == D64_CHECK_TOO_MANY || problem.code == D64_CHECK_BLOCK_COUNT) {
            entry["count"] = problem.count;
        }
        problems.push_back(std::move(entry));
    }
    return {{"verdict", verdict(check)},
            {"errors", check.summary.errors},
            {"warnings", check.summary.warnings},
            {"problems", std::move(problems)}};
}

json dat_json(const dat_facts& dat) {
    json matches = json::array();
    const auto optional = [](const std::optional<std::string>& text) {
        return text ? json(*text) : json(nullptr);
    };
    for (const dat_match& found : dat.matches) {
        matches.push_back({{"dat", found.dat},
                           {"game", found.game},
                           {"rom", found.rom},
                           {"status", optional(found.status)},
                           {"by", found.by},
                           {"normal_form", optional(found.normal_form)},
                           {"named", optional(found.named)}});
    }
    return {{"verdict", dat.verdict}, {"matches", std::move(matches)}};
}

// The problems of the container itself (those of its files are with the files).
json own_problems(const container_facts& facts) {
    json codes = json::array();
    for (const container_problem& problem : facts.problems) {
        if (problem.slot == 0) {
            codes.push_back(problem.code);
        }
    }
    return codes;
}

json container_json(const container_facts& facts) {
    json container;
    container["name"] = facts.name;
    container["name_unicode"] = facts.name_unicode;
    container["name_hex"] = hex(facts.info.name, static_cast<std::size_t>(facts.info.name_length));
    if (facts.format == D64_CONTAINER_T64) {
        container["version"] = facts.info.version;
        container["slots"] = facts.info.slots;
        container["used_claimed"] = facts.info.used_claimed;
    } else {
        container["record_length"] = facts.info.record_length;
    }
    container["problems"] = own_problems(facts);
    return container;
}

json tape_json(const container_facts& facts) {
    const char* machine = nullptr;
    const char* video = nullptr;
    const d64_container_info& info = facts.info;
    return {{"version", info.version},
            {"machine",
             d64_tape_machine_name(info.machine, &machine) ? json(machine) : json(info.machine)},
            {"video", d64_tape_video_name(info.video, &video) ? json(video) : json(info.video)},
            {"pulses", info.pulses},
            {"other_pulses", info.other_pulses},
            {"blocks_ok", info.blocks_ok},
            {"blocks_bad", info.blocks_bad},
            {"problems", own_problems(facts)}};
}

// The mode the EXROM and GAME lines (0 active) set.
const char* cartridge_mode(std::int32_t exrom, std::int32_t game) {
    return exrom == 0 ? (game == 0 ? "16k" : "8k") : (game == 0 ? "ultimax" : "off");
}

json cartridge_json(const container_facts& facts) {
    const d64_container_info& info = facts.info;
    const char* machine = nullptr;
    const char* hardware = nullptr;
    return {{"name", facts.name},
            {"machine",
             d64_cartridge_machine_name(info.machine, &machine) ? json(machine) : json(nullptr)},
            {"hardware_type", info.hardware_type},
            {"hardware_name", d64_cartridge_type_name(info.hardware_type, &hardware)
                                  ? json(hardware)
                                  : json(nullptr)},
            {"revision", info.revision},
            {"version", info.version},
            {"exrom", info.exrom},
            {"game", info.game},
            {"mode", cartridge_mode(info.exrom, info.game)},
            {"problems", own_problems(facts)}};
}

json container_file_json(const container_file_facts& file, bool extracting) {
    json entry;
    entry["slot"] = file.slot;
    const char* type = nullptr;
    entry["type"] = d64_file_type_name(file.type_byte, &type) ? json(type) : json(nullptr);
    entry["name"] = file.name;
    entry["name_unicode"] = file.name_unicode;
    entry["name_hex"] = hex(file.raw_name);
    entry["load_address"] = file.has_addresses ? json(file.load_address) : json(nullptr);
    entry["end_address"] = file.has_addresses ? json(file.end_address) : json(nullptr);
    if (file.tape_type) {
        entry["tape_type"] = *file.tape_type;
    }
    entry["size"] = file.size;
    entry["blocks"] = file.blocks;
    entry["md5"] = file.md5 ? json(hex(*file.md5)) : json(nullptr);
    entry["problems"] = file.problems;
    if (file.copies_ok) {
        entry["copies_ok"] = *file.copies_ok;
    }
    if (extracting) {
        entry["extracted"] = file.extracted ? json(*file.extracted) : json(nullptr);
    }
    return entry;
}

} // namespace

std::string record_line(const origin& where, const image_facts& facts,
                        const std::vector<std::string>* matches) {
    json record;
    add_origin(record, where);
    record["image"] = {
        {"format", format_name(facts.format)}, {"size", facts.size},    {"tracks", facts.tracks},
        {"error_info", facts.error_info},      {"md5", hex(facts.md5)}, {"sha1", hex(facts.sha1)},
        {"crc32", crc32_hex(facts.crc32)}};
    if (facts.decode) {
        record["decode"] = decode_json(*facts.decode, facts.track_captures);
    }
    record["disk"] = disk_json(facts);
    json files = json::array();
    for (const file_facts& file : facts.files) {
        files.push_back(file_json(file, facts.extracting));
    }
    record["files"] = std::move(files);
    json bam = json::array();
    for (const track_facts& track : facts.bam) {
        bam.push_back({{"track", track.track},
                       {"free", track.free},
                       {"used", track.used},
                       {"map", track.map}});
    }
    record["bam"] = std::move(bam);
    json errors = json::array();
    for (const sector_error& error : facts.errors) {
        errors.push_back({{"track", error.track}, {"sector", error.sector}, {"code", error.code}});
    }
    record["errors"] = std::move(errors);
    if (matches != nullptr) {
        record["matches"] = *matches;
    }
    if (facts.check) {
        record["check"] = check_json(*facts.check);
    }
    if (facts.dat) {
        record["dat"] = dat_json(*facts.dat);
    }
    return escape_c1(dump(record, json::error_handler_t::replace)) + "\n";
}

std::string container_record_line(const origin& where, const container_facts& facts,
                                  const std::vector<std::string>* matches) {
    json record;
    add_origin(record, where);
    d64_container_facts format{};
    d64_get_container_facts(facts.format, &format);
    record["image"] = {{"format", format.name},
                       {"size", facts.image.size},
                       {"tracks", nullptr},
                       {"error_info", false},
                       {"md5", hex(facts.image.md5)},
                       {"sha1", hex(facts.image.sha1)},
                       {"crc32", crc32_hex(facts.image.crc32)}};
    switch (facts.format) {
    case D64_CONTAINER_T64:
    case D64_CONTAINER_P00:
        record["container"] = container_json(facts);
        break;
    case D64_CONTAINER_TAP:
        record["tape"] = tape_json(facts);
        break;
    case D64_CONTAINER_CRT:
        record["cartridge"] = cartridge_json(facts);
        break;
    case D64_CONTAINER_PRG:
        break;
    }
    // The one array that grows with the file is written element by element: as a
    // whole tree of values, a cartridge's 65,536 chips would take a hundred times
    // the cartridge's size.
    const char* array = facts.format == D64_CONTAINER_CRT ? "chips" : "files";
    record[array] = nullptr; // its place among the members
    if (matches != nullptr) {
        record["matches"] = *matches;
    }
    if (facts.check) {
        json problems = json::array();
        for (const container_problem& problem : facts.problems) {
            const char* severity = "";
            d64_check_severity_name(problem.severity, &severity);
            problems.push_back(
                {{"severity", severity},
                 {"code", problem.code},
                 {"files", problem.slot != 0 ? json::array({problem.slot}) : json::array()}});
        }
        record["check"] = {{"verdict", facts.summary.errors > 0     ? "errors"
                                       : facts.summary.warnings > 0 ? "warnings"
                                                                    : "ok"},
                           {"errors", facts.summary.errors},
                           {"warnings", facts.summary.warnings},
                           {"problems", std::move(problems)}};
    }
    if (facts.dat) {
        record["dat"] = dat_json(*facts.dat);
    }
    std::string line = dump_members(record, nullptr, array) + "[";
    const auto append = [&line](const json& element) {
        line += line.back() == '[' ? "" : ",";
        line += dump(element, json::error_handler_t::replace);
    };
    if (facts.format == D64_CONTAINER_CRT) {
        for (const chip_facts& chip : facts.chips) {
            append({{"type", chip.type},
                    {"bank", chip.bank},
                    {"load_address", chip.load_address},
                    {"size", chip.size},
                    {"md5", chip.md5 ? json(hex(*chip.md5)) : json(nullptr)}});
        }
    } else {
        for (const container_file_facts& file : facts.files) {
            append(container_file_json(file, facts.extracting));
        }
    }
    line += "]" + dump_members(record, array, nullptr) + "\n";
    return escape_c1(std::move(line));
}

std::string missing_line(const std::string& dat, const std::string& game, const std::string& rom) {
    const json record = {{"missing", {{"dat", dat}, {"game", game}, {"rom", rom}}}};
    return escape_c1(dump(record, json::error_handler_t::replace)) + "\n";
}

std::string error_line(const origin& where, const std::string& message) {
    json record;
    add_origin(record, where);
    record["error"] = message;
    return escape_c1(dump(record, json::error_handler_t::replace)) + "\n";
}

} // namespace catalogue
