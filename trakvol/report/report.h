// Private constants shared by the reports.
#ifndef TRAKVOL_REPORT_H
#define TRAKVOL_REPORT_H

#include "trakvol.h"

#include <cstdint>

// Disk and file names are 16 PETSCII bytes, the disk id 5.
inline constexpr int32_t k_name_length = 16;
inline constexpr int32_t k_id_length = 5;

// True when `options` is set up by a caller of this release or an earlier one and,
// asking for Unicode, names a character set and a control-code form.
bool d64s_listing_options_ok(const d64_listing_options* options);

// The listing options of the older functions' arguments.
inline d64_listing_options d64s_listing_options(uint32_t flags,
                                                d64_charset set = D64_CHARSET_UPPER,
                                                d64_controls controls = D64_CONTROLS_REPLACED) {
    return d64_listing_options{D64_LISTING_OPTIONS_VERSION, flags, set, controls};
}

#endif // TRAKVOL_REPORT_H
