// The facts of a tape, a cartridge or a loose file, gathered through the d64_
// container functions: its files (or chips) and the problems noted on the way.
#include "catalogue.h"

#include <algorithm>
#include <cstring>

namespace catalogue {

namespace {

constexpr std::uint64_t k_payload_per_sector = 254;

std::string text_of(const std::uint8_t* field, std::int32_t length, d64_text_form form) {
    char text[D64_NAME_LENGTH + 1] = {};
    d64_petscii_to_text(reinterpret_cast<const char*>(field), length, form, text);
    return text;
}

std::string unicode_of(const std::uint8_t* field, std::int32_t length, d64_text_form form,
                       d64_charset set) {
    char text[D64_UTF8_BYTES_PER_CODE * D64_NAME_LENGTH + 1] = {};
    d64_petscii_to_utf8(reinterpret_cast<const char*>(field), length, form, set,
                        D64_CONTROLS_AS_CODES, text, nullptr);
    return text;
}

// The names of the problems set in `bits`, each also recorded with its severity.
std::vector<std::string> problems_of(std::uint32_t bits, std::int32_t slot,
                                     container_facts& facts) {
    std::vector<std::string> names;
    for (std::int32_t problem = 0; problem < D64_PROBLEM_COUNT; ++problem) {
        const char* name = "";
        std::int32_t severity = D64_CHECK_WARNING;
        if ((bits >> problem & 1U) != 0 && d64_container_problem_name(problem, &name, &severity)) {
            names.emplace_back(name);
            facts.problems.push_back({static_cast<d64_check_severity>(severity), name, slot});
            (severity == D64_CHECK_ERROR ? facts.summary.errors : facts.summary.warnings) += 1;
        }
    }
    return names;
}

// Where the part of a name after its first shifted space starts, or the name's length
// when it has none inside it (a zero byte ends a name; trailing padding is none).
std::int32_t rest_of_name(const std::uint8_t* name) {
    std::int32_t end = 0;
    while (end < D64_NAME_LENGTH && name[end] != 0) {
        ++end;
    }
    while (end > 0 && name[end - 1] == D64_SHIFTED_SPACE) {
        --end;
    }
    for (std::int32_t i = 0; i < end; ++i) {
        if (name[i] == D64_SHIFTED_SPACE) {
            return i + 1;
        }
    }
    return D64_NAME_LENGTH;
}

// A cartridge's name is ASCII: printable as stored, anything else '?', trailing zeros
// and spaces dropped (a zero byte ends it).
std::string ascii_name(const std::uint8_t* field, std::int32_t length) {
    std::string name;
    for (std::int32_t i = 0; i < length && field[i] != 0; ++i) {
        name += field[i] >= 0x20 && field[i] < 0x7F ? static_cast<char>(field[i]) : '?';
    }
    return name.substr(0, name.find_last_not_of(' ') + 1);
}

struct gathering {
    container_facts& facts;
    d64_charset set;
    bool with_md5;
};

bool gather_file(const d64_container_file* file, void* context) {
    auto& into = *static_cast<gathering*>(context);
    container_file_facts found;
    found.slot = file->slot;
    found.type_byte = file->type;
    std::memcpy(found.raw_name.data(), file->name, D64_NAME_LENGTH);
    found.name = text_of(file->name, D64_NAME_LENGTH, D64_TEXT_QUOTED);
    found.name_unicode = unicode_of(file->name, D64_NAME_LENGTH, D64_TEXT_QUOTED, into.set);
    // A name goes on after a shifted space inside it, as a disk's listing shows it.
    const std::int32_t rest = rest_of_name(file->name);
    if (rest < D64_NAME_LENGTH) {
        found.name_rest = text_of(file->name + rest, D64_NAME_LENGTH - rest, D64_TEXT_TRIMMED);
        found.name_rest_unicode =
            unicode_of(file->name + rest, D64_NAME_LENGTH - rest, D64_TEXT_TRIMMED, into.set);
    }
    found.has_load_address = file->has_load_address;
    found.has_addresses = file->has_addresses;
    found.shares_data_of = file->shares_data_of;
    if (file->tape_type != 0) {
        found.tape_type = file->tape_type;
    }
    found.load_address = file->load_address;
    found.end_address = file->end_address;
    found.size = file->size;
    found.blocks =
        static_cast<std::int32_t>((file->size + k_payload_per_sector - 1) / k_payload_per_sector);
    md5_digest md5{};
    if (found.shares_data_of != 0) {
        // The data of an earlier entry, hashed once: its MD5 when the bytes are the same.
        // Files come in slot order.
        const std::vector<container_file_facts>& files = into.facts.files;
        const auto first = std::lower_bound(files.begin(), files.end(), found.shares_data_of,
                                            [](const container_file_facts& earlier,
                                               std::int32_t slot) { return earlier.slot < slot; });
        if (first != files.end() && first->slot == found.shares_data_of &&
            first->size == found.size && first->has_load_address == found.has_load_address &&
            (!found.has_load_address || first->load_address == found.load_address)) {
            found.md5 = first->md5;
        }
    } else if (into.with_md5 && d64_calculate_container_file_md5(file, md5.data())) {
        found.md5 = md5;
    }
    found.problems = problems_of(file->problems, file->slot, into.facts);
    if (file->copies_ok >= 0) {
        found.copies_ok = file->copies_ok;
    }
    into.facts.files.push_back(std::move(found));
    return true;
}

bool gather_chip(const d64_cartridge_chip* chip, void* context) {
    auto& into = *static_cast<gathering*>(context);
    container_facts& facts = into.facts;
    chip_facts found;
    const char* type = nullptr;
    found.type =
        d64_cartridge_chip_type_name(chip->type, &type) ? type : std::to_string(chip->type);
    found.bank = chip->bank;
    found.load_address = chip->load_address;
    found.size = chip->size;
    d64_container_file as_file{};
    as_file.data = chip->data;
    as_file.data_size = chip->size;
    md5_digest md5{};
    if (into.with_md5 && d64_calculate_container_file_md5(&as_file, md5.data())) {
        found.md5 = md5;
    }
    facts.chips.push_back(found);
    return true;
}

} // namespace

container_facts inspect_container(const d64_container* container, const image_digests& image,
                                  d64_charset set, bool with_md5) {
    container_facts facts;
    facts.format = static_cast<d64_container_format>(container->format);
    facts.image = image;
    d64_get_container_info(container, &facts.info);
    // A name field longer than a file name's is shown whole, trimmed of its padding.
    const std::int32_t length = std::min(facts.info.name_length, D64_NAME_LENGTH);
    if (facts.format == D64_CONTAINER_CRT) {
        facts.name = ascii_name(facts.info.name, facts.info.name_length);
        facts.name_unicode = facts.name;
    } else if (length > 0) {
        std::uint8_t name[32] = {};
        std::memcpy(name, facts.info.name, sizeof name);
        for (std::int32_t i = facts.info.name_length - 1;
             i >= 0 && (name[i] == ' ' || name[i] == 0); --i) {
            name[i] = D64_SHIFTED_SPACE;
        }
        for (std::int32_t from = 0; from < facts.info.name_length; from += D64_NAME_LENGTH) {
            const std::int32_t part = std::min(D64_NAME_LENGTH, facts.info.name_length - from);
            facts.name += text_of(name + from, part, D64_TEXT_TRIMMED);
            facts.name_unicode += unicode_of(name + from, part, D64_TEXT_TRIMMED, set);
        }
    }
    problems_of(facts.info.problems, 0, facts);
    // Room for every file (or chip) at once: no doubling on the way to 65,536.
    const auto count = static_cast<std::size_t>(std::max(0, facts.info.file_count));
    if (facts.format == D64_CONTAINER_CRT) {
        facts.chips.reserve(count);
    } else {
        facts.files.reserve(count);
    }
    gathering files{facts, set, with_md5};
    d64_foreach_container_file(container, gather_file, &files);
    d64_foreach_cartridge_chip(container, gather_chip, &files);
    return facts;
}

} // namespace catalogue
