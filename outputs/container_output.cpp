// What one tape, cartridge or loose file gives: its listing (narrow or wide), the
// name search, the BAM report's one line, the check's verdict and problem lines, its
// files extracted, its JSON record, its DAT verdict or game.
#include "output_private.h"

#include <fnmatch.h>

#include <algorithm>
#include <map>

namespace outputs {

namespace {

std::string hex(const catalogue::md5_digest& digest) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t byte : digest) {
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
    }
    return text;
}

const char* format_name(d64_container_format format) {
    d64_container_facts facts{};
    return d64_get_container_facts(format, &facts) ? facts.name : "";
}

// A name as the listing shows it: ASCII, or Unicode padded by characters.
struct shown_name {
    std::string text;
    std::int32_t columns;
};

shown_name quoted(const catalogue::container_file_facts& file, const settings& how) {
    if (!how.unicode) {
        return {"\"" + file.name + "\"" + file.name_rest,
                static_cast<std::int32_t>(file.name.size() + file.name_rest.size()) + 2};
    }
    char text[D64_UTF8_BYTES_PER_CODE * D64_NAME_LENGTH + 1] = {};
    std::int32_t columns = 0;
    d64_petscii_to_utf8(reinterpret_cast<const char*>(file.raw_name.data()), D64_NAME_LENGTH,
                        D64_TEXT_QUOTED, how.charset, how.controls, text, &columns);
    std::string shown = std::string("\"") + text + "\"";
    if (!file.name_rest.empty()) {
        const std::size_t rest = file.name.size() + 1;
        std::int32_t rest_columns = 0;
        d64_petscii_to_utf8(reinterpret_cast<const char*>(file.raw_name.data() + rest),
                            D64_NAME_LENGTH - static_cast<std::int32_t>(rest), D64_TEXT_TRIMMED,
                            how.charset, how.controls, text, &rest_columns);
        shown += text;
        columns += rest_columns;
    }
    return {shown, columns + 2};
}

std::string padded(const shown_name& name, std::int32_t width) {
    return name.text +
           std::string(static_cast<std::size_t>(std::max(0, width - name.columns)), ' ');
}

std::string container_name(const catalogue::container_facts& facts, const settings& how) {
    return how.unicode ? facts.name_unicode : facts.name;
}

std::string pad_right(std::string text, std::size_t width) {
    return text + std::string(width > text.size() ? width - text.size() : 0, ' ');
}

std::string address(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "$%04x", value);
    return text;
}

std::string type_column(const catalogue::container_file_facts& file) {
    const char* type = "???";
    d64_file_type_name(file.type_byte, &type);
    return std::string(1, (file.type_byte & D64_CLOSED_FLAG) != 0 ? ' ' : '*') + type +
           ((file.type_byte & D64_LOCKED_FLAG) != 0 ? '<' : ' ');
}

// The closing line: the files and their bytes; a tape's copies and other data.
void print_totals(const catalogue::container_facts& facts, FILE* out) {
    std::uint64_t bytes = 0;
    std::int32_t copies = 0;
    for (const catalogue::container_file_facts& file : facts.files) {
        bytes += file.shares_data_of == 0 ? file.size : 0; // shared data counts once
        copies += file.copies_ok.value_or(0);
    }
    std::fprintf(out, "%zu file%s, %llu bytes", facts.files.size(),
                 facts.files.size() == 1 ? "" : "s", static_cast<unsigned long long>(bytes));
    if (facts.format == D64_CONTAINER_TAP) {
        std::fprintf(out, "; %d of %zu copies read; %llu pulses of other data", copies,
                     2 * facts.files.size(),
                     static_cast<unsigned long long>(facts.info.other_pulses));
    }
    std::fprintf(out, ".\n");
}

void print_files(const catalogue::container_facts& facts, const settings& how, FILE* out) {
    if (how.wide) {
        std::fprintf(out, "Container name      Format\n\"%-16s\"  %s\n\n",
                     container_name(facts, how).c_str(), format_name(facts.format));
        // A tape's headers say how a program loads: the type of each.
        std::fprintf(out, "Seq  Size File name          Type  %sLoad   End    Bytes   MD5 hash\n",
                     facts.format == D64_CONTAINER_TAP ? "Hdr  " : "");
    } else {
        std::fprintf(out, "0 .\"%-16s\" %s\n", container_name(facts, how).c_str(),
                     format_name(facts.format));
    }
    for (const catalogue::container_file_facts& file : facts.files) {
        std::string line = how.wide ? std::to_string(file.slot) : std::string();
        line += how.wide ? std::string(std::max<std::size_t>(5, line.size() + 2) - line.size(), ' ')
                         : std::string();
        const std::string blocks = std::to_string(file.blocks);
        line +=
            blocks + std::string(std::max<std::size_t>(5, blocks.size() + 2) - blocks.size(), ' ');
        line += padded(quoted(file, how), 18) + type_column(file);
        if (how.wide) {
            line += "  " + (file.tape_type ? pad_right(std::to_string(*file.tape_type), 5) : "");
            line += file.has_addresses
                        ? address(file.load_address) + "  " + address(file.end_address) + "  "
                        : "-      -      ";
            line += pad_right(std::to_string(file.size), 6) + "  ";
            line += file.md5 ? hex(*file.md5) : std::string("[ no data ]");
        }
        std::fprintf(out, "%s\n", line.c_str());
    }
    if (!how.wide) {
        print_totals(facts, out);
    }
}

// A cartridge: its name, machine, hardware type and mode, then a line per chip.
void print_chips(const catalogue::container_facts& facts, const settings& how, FILE* out) {
    const d64_container_info& info = facts.info;
    const char* machine = "?";
    const char* hardware = "unknown";
    d64_cartridge_machine_name(info.machine, &machine);
    d64_cartridge_type_name(info.hardware_type, &hardware);
    const char* mode =
        info.exrom == 0 ? (info.game == 0 ? "16K" : "8K") : (info.game == 0 ? "Ultimax" : "off");
    std::fprintf(out, "0 .\"%-16s\" crt\n", container_name(facts, how).c_str());
    std::fprintf(out, "%s cartridge, type %d (%s), %s mode (exrom %d, game %d), version %d.%02d\n",
                 machine, info.hardware_type, hardware, mode, info.exrom, info.game,
                 info.version >> 8, info.version & 0xFF);
    std::uint64_t bytes = 0;
    for (const catalogue::chip_facts& chip : facts.chips) {
        if (how.wide) {
            std::fprintf(out, "%-6s bank %-3d  $%04x  %-5u  %s\n", chip.type.c_str(), chip.bank,
                         chip.load_address, chip.size,
                         chip.md5 ? hex(*chip.md5).c_str() : "[ no data ]");
        } else {
            std::fprintf(out, "%-6s bank %-3d  $%04x  %u\n", chip.type.c_str(), chip.bank,
                         chip.load_address, chip.size);
        }
        bytes += chip.size;
    }
    std::fprintf(out, "%zu chip%s, %llu bytes.\n", facts.chips.size(),
                 facts.chips.size() == 1 ? "" : "s", static_cast<unsigned long long>(bytes));
}

// -f: the first file whose name, with its padding, matches.
void print_match(const catalogue::container_facts& facts, const settings& how, FILE* out) {
    for (const catalogue::container_file_facts& file : facts.files) {
        char text[D64_NAME_LENGTH + 1] = {};
        d64_petscii_to_text(reinterpret_cast<const char*>(file.raw_name.data()), D64_NAME_LENGTH,
                            D64_TEXT_PADDED, text);
        if (fnmatch(how.pattern, text, FNM_CASEFOLD) != 0) {
            continue;
        }
        if (how.unicode) {
            char unicode[D64_UTF8_BYTES_PER_CODE * D64_NAME_LENGTH + 1] = {};
            d64_petscii_to_utf8(reinterpret_cast<const char*>(file.raw_name.data()),
                                D64_NAME_LENGTH, D64_TEXT_PADDED, how.charset, how.controls,
                                unicode, nullptr);
            std::fprintf(out, "Match: \"%s\"\n", unicode);
        } else {
            std::fprintf(out, "Match: \"%s\"\n", text);
        }
        return;
    }
}

void text_report(const catalogue::container_facts& facts, const settings& how, FILE* out) {
    switch (how.what) {
    case request::bam:
        std::fprintf(out, "No BAM: a %s holds %s, not the sectors of a disk\n",
                     format_name(facts.format),
                     facts.format == D64_CONTAINER_CRT ? "chips" : "files");
        break;
    case request::find:
        print_match(facts, how, out);
        break;
    case request::directory:
        if (facts.format == D64_CONTAINER_CRT) {
            print_chips(facts, how, out);
        } else {
            print_files(facts, how, out);
        }
        break;
    }
}

std::string counted(std::int32_t count, const char* what) {
    return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

// The check: the verdict line, then a line per problem, the file's name quoted.
void check_text(const std::string& name, const catalogue::container_facts& facts,
                const settings& how, FILE* out) {
    const d64_check_summary& summary = facts.summary;
    std::string verdict = summary.errors == 0 && summary.warnings == 0 ? "ok" : "";
    if (summary.errors > 0) {
        verdict = counted(summary.errors, "error");
    }
    if (summary.warnings > 0) {
        verdict += (verdict.empty() ? "" : ", ") + counted(summary.warnings, "warning");
    }
    std::fprintf(out, "%s: %s\n", name.c_str(), verdict.c_str());
    std::map<std::int32_t, const catalogue::container_file_facts*> by_slot;
    for (const catalogue::container_file_facts& file : facts.files) {
        by_slot[file.slot] = &file;
    }
    for (const catalogue::container_problem& problem : facts.problems) {
        const char* severity = "";
        d64_check_severity_name(problem.severity, &severity);
        std::string line = std::string("  ") + severity + " " + problem.code;
        if (const auto file = by_slot.find(problem.slot); file != by_slot.end()) {
            line += " " + quoted(*file->second, how).text;
        }
        std::fprintf(out, "%s\n", line.c_str());
    }
}

} // namespace

int render_container(const image_view& view, walk_style style, const d64_container* container,
                     const settings& how, FILE* out, FILE* err) {
    const catalogue::image_digests digests = how.json || how.dats != nullptr || how.make_dat
                                                 ? catalogue::digests_of(view.bytes, view.size)
                                                 : catalogue::image_digests{};
    if (how.make_dat) {
        dat_game(view, style, digests, out);
        return 0;
    }
    catalogue::container_facts facts =
        catalogue::inspect_container(container, digests, how.charset, how.wide || how.json);
    int failures = how.check && facts.summary.errors > 0 ? 1 : 0;
    std::map<std::int32_t, std::string> extracted;
    if (how.extract != nullptr) {
        failures += extract_container_files(view, style, container, *how.extract, err, &extracted);
        facts.extracting = true;
        for (catalogue::container_file_facts& file : facts.files) {
            if (const auto path = extracted.find(file.slot); path != extracted.end()) {
                file.extracted = path->second;
            }
        }
    }
    std::optional<verify::verdict> known;
    if (how.dats != nullptr) {
        known = dat_verdict(view, digests, nullptr, how);
    }
    if (how.json) {
        facts.check = how.check;
        if (known) {
            facts.dat = dat_facts_of(*known, how);
        }
        const catalogue::origin where{view.path, view.members};
        if (how.what != request::find) {
            std::fputs(catalogue::container_record_line(where, facts, nullptr).c_str(), out);
        } else {
            std::vector<std::string> matches;
            for (const catalogue::container_file_facts& file : facts.files) {
                char text[D64_NAME_LENGTH + 1] = {};
                d64_petscii_to_text(reinterpret_cast<const char*>(file.raw_name.data()),
                                    D64_NAME_LENGTH, D64_TEXT_PADDED, text);
                if (fnmatch(how.pattern, text, FNM_CASEFOLD) == 0) {
                    matches.emplace_back(text);
                }
            }
            if (!matches.empty()) {
                std::fputs(catalogue::container_record_line(where, facts, &matches).c_str(), out);
            }
        }
        return failures;
    }
    if (how.listing) {
        text_report(facts, how, out);
    }
    if (how.check) {
        check_text(shown(view.path, style), facts, how, out);
    }
    if (known) {
        dat_text(shown(view.path, style), *known, how, out);
    }
    return failures;
}

} // namespace outputs
