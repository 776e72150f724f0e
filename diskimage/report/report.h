// Private constants shared by the reports.
#ifndef TRAKVOL_REPORT_H
#define TRAKVOL_REPORT_H

#include "trakvol.h"

#include <cstdint>

// Disk and file names are 16 PETSCII bytes, the disk id 5.
inline constexpr int32_t k_name_length = 16;
inline constexpr int32_t k_id_length = 5;

// Track 18 has room for 18 directory sectors of 8 slots, a 1581's track 40 for 37:
// every directory walk of the reports stops after that many slots, which also ends
// a looping chain.
inline int32_t d64s_directory_slot_limit(const d64_disk* disk) {
    d64_format_info info{};
    d64_get_format_info(disk, &info);
    return info.max_directory_slots;
}

#endif // TRAKVOL_REPORT_H
