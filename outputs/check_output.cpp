// The file-system check as text: the image's verdict line, then a line per problem.
#include "catalogue.h"
#include "output_private.h"

#include <array>
#include <map>

namespace outputs {

namespace {

// Long sector lists are cut after this many.
constexpr std::size_t k_shown_sectors = 8;

std::string counted(std::int32_t count, const char* what) {
    return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

// The name between the listing's quotes, for every slot a problem names.
std::map<std::int32_t, std::string> names_by_slot(const d64_disk* disk, const settings& how) {
    struct walk {
        const settings& how;
        std::map<std::int32_t, std::string> names;
    } state{how, {}};
    d64_foreach_dir_entry(
        disk,
        [](const d64_dir_entry* entry, std::int32_t slot, void* context) {
            auto& into = *static_cast<walk*>(context);
            char raw[D64_NAME_LENGTH + 1];
            d64_get_file_name(entry, raw);
            char text[D64_UTF8_BYTES_PER_CODE * D64_NAME_LENGTH + 1] = {};
            if (into.how.unicode) {
                d64_petscii_to_utf8(raw, D64_NAME_LENGTH, D64_TEXT_QUOTED, into.how.charset,
                                    into.how.controls, text, nullptr);
            } else {
                d64_petscii_to_text(raw, D64_NAME_LENGTH, D64_TEXT_QUOTED, text);
            }
            into.names[slot] = text;
            return true;
        },
        &state);
    return std::move(state.names);
}

std::string problem_line(const catalogue::check_problem& problem,
                         const std::map<std::int32_t, std::string>& names) {
    const char* severity = "";
    const char* code = "";
    d64_check_severity_name(problem.severity, &severity);
    d64_check_code_name(problem.code, &code);
    std::string line = std::string("  ") + severity + " " + code;
    for (const std::int32_t slot : problem.files) {
        const auto name = names.find(slot);
        line += " \"" + (name != names.end() ? name->second : std::string()) + "\"";
    }
    static const std::map<std::int32_t, const char*> systems = {
        {D64_OWNER_HEADER, "header"},
        {D64_OWNER_BAM, "bam"},
        {D64_OWNER_DIRECTORY, "directory"},
        {D64_OWNER_BORDER, "border"}};
    if (const auto system = systems.find(problem.system); system != systems.end()) {
        line += std::string(" ") + system->second;
    }
    if (problem.track != 0) {
        line += " track " + std::to_string(problem.track);
    }
    switch (problem.code) {
    case D64_CHECK_LOST_FILE:
        // Its sectors are in the record; the line says where it starts and its hash.
        line += " " + counted(problem.count, "sector") + " from " +
                std::to_string(problem.first.first) + "/" + std::to_string(problem.first.second) +
                ", md5 ";
        for (const std::uint8_t byte : problem.md5) {
            static const char digits[] = "0123456789abcdef";
            line += digits[byte >> 4];
            line += digits[byte & 0x0F];
        }
        return line + "\n";
    case D64_CHECK_BLOCK_COUNT:
        line += " owns " + counted(problem.count, "sector");
        break;
    case D64_CHECK_TOO_MANY:
        line += " " + counted(problem.count, "more problem");
        break;
    default:
        break;
    }
    for (std::size_t i = 0; i < problem.sectors.size() && i < k_shown_sectors; ++i) {
        line += " " + std::to_string(problem.sectors[i].first) + "/" +
                std::to_string(problem.sectors[i].second);
    }
    if (problem.sectors.size() > k_shown_sectors) {
        line += " ... (" + counted(static_cast<std::int32_t>(problem.sectors.size()), "sector") +
                ")";
    }
    return line + "\n";
}

} // namespace

void check_text(const std::string& name, const d64_disk* disk,
                const catalogue::check_facts& facts, const settings& how, FILE* out) {
    std::string verdict = "ok";
    if (facts.summary.errors > 0 && facts.summary.warnings > 0) {
        verdict = counted(facts.summary.errors, "error") + ", " +
                  counted(facts.summary.warnings, "warning");
    } else if (facts.summary.errors > 0) {
        verdict = counted(facts.summary.errors, "error");
    } else if (facts.summary.warnings > 0) {
        verdict = counted(facts.summary.warnings, "warning");
    }
    std::fprintf(out, "%s: %s\n", name.c_str(), verdict.c_str());
    if (facts.problems.empty()) {
        return;
    }
    const std::map<std::int32_t, std::string> names = names_by_slot(disk, how);
    for (const catalogue::check_problem& problem : facts.problems) {
        std::fputs(problem_line(problem, names).c_str(), out);
    }
}

} // namespace outputs
