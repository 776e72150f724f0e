// Private constants shared by the reports.
#ifndef TRAKVOL_REPORT_H
#define TRAKVOL_REPORT_H

#include <cstdint>

// Disk and file names are 16 PETSCII bytes, the disk id 5.
inline constexpr int32_t k_name_length = 16;
inline constexpr int32_t k_id_length = 5;

// Track 18 has room for 18 directory sectors of 8 slots: every directory walk of
// the reports stops after that many slots, which also ends a looping chain.
inline constexpr int32_t k_max_directory_slots = 144;

#endif // TRAKVOL_REPORT_H
