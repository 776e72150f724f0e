// The JSON record of an image: one line, from the catalogue's facts. A search keeps
// only the images with a match.
#include "catalogue.h"
#include "output_private.h"

namespace outputs {

namespace {

catalogue::image_facts facts_of(const catalogue::image_digests& image, const d64_disk* disk,
                                const settings& how,
                                const std::map<std::int32_t, std::string>* extracted,
                                const catalogue::check_facts* check,
                                const catalogue::dat_facts* dat) {
    catalogue::image_facts facts = catalogue::inspect(disk, image, how.charset);
    if (check != nullptr) {
        facts.check = *check;
    }
    if (dat != nullptr) {
        facts.dat = *dat;
    }
    if (extracted != nullptr) {
        facts.extracting = true;
        for (catalogue::file_facts& file : facts.files) {
            if (const auto path = extracted->find(file.slot); path != extracted->end()) {
                file.extracted = path->second;
            }
        }
    }
    return facts;
}

} // namespace

void json_record(const image_view& view, const catalogue::image_digests& image,
                 const d64_disk* disk, const settings& how, FILE* out,
                 const std::map<std::int32_t, std::string>* extracted,
                 const catalogue::check_facts* check, const catalogue::dat_facts* dat) {
    const catalogue::origin where{view.path, view.members};
    if (how.what != request::find) {
        std::fputs(catalogue::record_line(where, facts_of(image, disk, how, extracted, check, dat),
                                          nullptr)
                       .c_str(),
                   out);
        return;
    }
    const std::vector<std::string> matches = catalogue::matching_names(disk, how.pattern);
    if (!matches.empty()) {
        std::fputs(catalogue::record_line(where, facts_of(image, disk, how, extracted, check, dat),
                                          &matches)
                       .c_str(),
                   out);
    }
}

void json_failure(const image_view& view, const std::string& message, FILE* out) {
    std::fputs(catalogue::error_line({view.path, view.members}, message).c_str(), out);
}

} // namespace outputs
