// The table of the formats the library reads (--formats), from its format facts: the
// disks, then the tapes, cartridges and loose files.
#include "outputs.h"

#include <string>

namespace outputs {

namespace {

// What tells the format: its lengths (each track count, with and without error
// codes), or a raw dump's signature.
std::string recognised_by(const d64_format_shape& shape) {
    if (shape.signature != nullptr) {
        return std::string("signature \"") + shape.signature + "\"";
    }
    std::string sizes = "size";
    for (std::int32_t tracks = shape.min_tracks; tracks <= shape.max_tracks; ++tracks) {
        std::uint64_t bytes = 0;
        d64_get_track_offset(shape.format, tracks + 1, &bytes);
        sizes += " " + std::to_string(bytes);
        if (shape.error_bytes) {
            sizes += " " + std::to_string(bytes + bytes / 256);
        }
    }
    return sizes;
}

std::string track_range(const d64_format_shape& shape) {
    return shape.min_tracks == shape.max_tracks
               ? std::to_string(shape.min_tracks)
               : std::to_string(shape.min_tracks) + "-" + std::to_string(shape.max_tracks);
}

} // namespace

void format_table(FILE* out) {
    std::fprintf(out, "%-7s %-10s %-40s %-7s %-6s %s\n", "Format", "Extension", "Description",
                 "Tracks", "Free", "Recognised by");
    for (std::int32_t code = 0; code < D64_FORMAT_COUNT; ++code) {
        d64_format_facts facts{};
        d64_format_shape shape{};
        if (!d64_get_format_facts(code, &facts) || !d64_get_format_shape(code, &shape)) {
            continue;
        }
        std::fprintf(out, "%-7s %-10s %-40s %-7s %-6d %s\n", facts.name,
                     ("." + std::string(facts.name)).c_str(), facts.description,
                     track_range(shape).c_str(), shape.empty_free_blocks,
                     recognised_by(shape).c_str());
    }
    // Tapes, cartridges and loose files: no tracks, no free blocks.
    for (std::int32_t code = 0; code < D64_CONTAINER_FORMAT_COUNT; ++code) {
        d64_container_facts facts{};
        if (!d64_get_container_facts(code, &facts)) {
            continue;
        }
        const std::string extension = facts.extensions;
        std::fprintf(out, "%-7s %-10s %-40s %-7s %-6s %s\n", facts.name,
                     extension.substr(0, extension.find(' ')).c_str(), facts.description, "-", "-",
                     facts.signature != nullptr
                         ? ("signature \"" + std::string(facts.signature) + "\"").c_str()
                         : "the name");
    }
}

} // namespace outputs
