// The JSON record of an image: one line, from the catalogue's facts. A search keeps
// only the images with a match.
#include "catalogue.h"
#include "output_private.h"

namespace outputs {

void json_record(const image_view& view, const d64_disk* disk, const settings& how, FILE* out) {
    const catalogue::origin where{view.path, view.members};
    if (how.what != request::find) {
        std::fputs(catalogue::record_line(
                       where, catalogue::inspect(disk, view.bytes, view.size, how.charset), nullptr)
                       .c_str(),
                   out);
        return;
    }
    const std::vector<std::string> matches = catalogue::matching_names(disk, how.pattern);
    if (!matches.empty()) {
        std::fputs(
            catalogue::record_line(
                where, catalogue::inspect(disk, view.bytes, view.size, how.charset), &matches)
                .c_str(),
            out);
    }
}

void json_failure(const image_view& view, const std::string& message, FILE* out) {
    std::fputs(catalogue::error_line({view.path, view.members}, message).c_str(), out);
}

} // namespace outputs
