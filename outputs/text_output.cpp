// The text reports: the listing, the BAM report or the search, as the library prints them.
#include "output_private.h"

namespace outputs {

namespace {

// The library's listing options of the run's settings.
d64_listing_options listing_options_of(const settings& how) {
    d64_listing_options options = D64_LISTING_OPTIONS_INIT;
    options.flags = (how.wide ? D64_LIST_WIDE : 0U) |
                    (how.include_scratched ? D64_LIST_SCRATCHED : 0U) |
                    (how.include_errors ? D64_LIST_ERRORS : 0U) |
                    (how.unicode ? D64_LIST_UNICODE : 0U);
    options.charset = how.charset;
    options.controls = how.controls;
    return options;
}

} // namespace

void text_report(const d64_disk* disk, const settings& how, FILE* out) {
    const d64_listing_options options = listing_options_of(how);
    switch (how.what) {
    case request::find: {
        bool found = false;
        d64_find_pattern_ex(disk, how.pattern, &options, &found, out);
        break;
    }
    case request::bam:
        d64_dump_bam_ex(disk, &options, out);
        break;
    case request::directory:
        d64_dump_directory_ex(disk, &options, out);
        break;
    }
}

} // namespace outputs
