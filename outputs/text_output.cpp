// The text reports: the listing, the BAM report or the search, as the library prints them.
#include "output_private.h"

namespace outputs {

void text_report(const d64_disk* disk, const settings& how, FILE* out) {
    switch (how.what) {
    case request::find: {
        bool found = false;
        if (how.unicode) {
            d64_find_pattern_unicode(disk, how.pattern, &found, how.charset, how.controls, out);
        } else {
            d64_find_pattern_to(disk, how.pattern, &found, out);
        }
        break;
    }
    case request::bam:
        d64_dump_bam_contents(disk, how.include_errors, out);
        break;
    case request::directory:
        if (how.unicode) {
            d64_dump_directory_unicode(disk, how.include_scratched, how.wide, how.charset,
                                       how.controls, out);
        } else {
            d64_dump_directory_contents(disk, how.include_scratched, how.wide, out);
        }
        break;
    }
}

} // namespace outputs
