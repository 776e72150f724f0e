// Private: the geometry of a handle's disk, read from its row of the format table.
// Every reader of the library consults the row; none branches on the format.
#ifndef TRAKVOL_GEOMETRY_H
#define TRAKVOL_GEOMETRY_H

#include "formats.h"

// The row of the handle's format.
inline const d64s_format& d64s_row(const d64_disk* disk) {
    return d64s_row_of(static_cast<d64_format>(disk->format));
}

// Sectors of a disk of the row's format with `tracks` tracks.
inline int32_t d64s_row_sectors(const d64s_format& row, int32_t tracks) {
    return row.track_start[tracks + 1];
}

// Sectors of `track`, which must be a track of the disk.
inline int32_t d64s_track_sectors(const d64_disk* disk, int32_t track) {
    return d64s_row(disk).track_sectors[track];
}

// Linear index of sector 0 of `track`.
inline int32_t d64s_track_start(const d64_disk* disk, int32_t track) {
    return d64s_row(disk).track_start[track];
}

// Number of sectors of the whole disk.
inline int32_t d64s_disk_sectors(const d64_disk* disk) {
    return static_cast<int32_t>(disk->sector_data_size / k_sector_size);
}

// The 256 bytes of a sector; the caller has checked track and sector.
inline const uint8_t* d64s_sector(const d64_disk* disk, int32_t track, int32_t sector) {
    return disk->image + int64_t{k_sector_size} * (d64s_track_start(disk, track) + sector);
}

inline const uint8_t* d64s_at(const d64_disk* disk, const d64s_place& place) {
    return d64s_sector(disk, place.track, place.sector) + place.offset;
}

// The header sector: disk name and id (and on a 1541 or 1571 the BAM).
inline const uint8_t* d64s_header_sector(const d64_disk* disk) {
    return d64s_sector(disk, d64s_row(disk).header.track, d64s_row(disk).header.sector);
}

#endif // TRAKVOL_GEOMETRY_H
