// Private: the BAM entries as the format keeps them, for the readers that need the
// raw bytes (the file-system check).
#ifndef TRAKVOL_BAM_H
#define TRAKVOL_BAM_H

#include "trakvol.h"

#include <cstdint>

// The BAM entry of `track`: its free count byte and its bitmap (a set bit marks a
// free sector, sector s being bit s mod 8 of byte s / 8). False when the format keeps
// no entry for the track (tracks 36-42 of a 1541 disk without a layout for them).
bool d64s_bam_entry(const d64_disk* disk, int32_t track, const uint8_t** count,
                    const uint8_t** bitmap);

#endif // TRAKVOL_BAM_H
