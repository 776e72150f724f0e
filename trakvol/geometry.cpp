// The track/sector geometry of a handle's disk, and the facts of its format.
#include "geometry.h"

bool d64_get_format_info(const d64_disk* disk, d64_format_info* info) {
    if (disk == nullptr || info == nullptr) {
        return false;
    }
    const d64s_format& row = d64s_row(disk);
    info->format = disk->format;
    info->sector_count = d64s_disk_sectors(disk);
    info->longest_track = row.longest_track;
    info->directory_track = row.directory.track;
    info->max_directory_slots = row.max_directory_slots;
    return true;
}

bool d64_are_track_and_sector_valid(const d64_disk* disk, int32_t track, int32_t sector) {
    // The track is checked before the zone table is indexed with it.
    return disk != nullptr && track >= 1 && track <= disk->track_count && sector >= 0 &&
           sector < d64s_track_sectors(disk, track);
}

bool d64_get_format_facts(int32_t format, d64_format_facts* facts) {
    if (facts == nullptr || format < 0 || format >= D64_FORMAT_COUNT) {
        return false;
    }
    const auto code = static_cast<d64_format>(format);
    const d64s_format& row = d64s_row_of(code);
    const d64s_decoder* decoder = d64s_decoder_of(code);
    facts->format = format;
    facts->name = decoder != nullptr ? decoder->name : row.name;
    facts->description = decoder != nullptr ? decoder->description : row.description;
    const auto sectors = static_cast<uint64_t>(d64s_row_sectors(row, row.max_tracks));
    facts->largest_image =
        decoder != nullptr ? 0 : (k_sector_size + (row.error_bytes ? 1 : 0)) * sectors;
    facts->sectors_of = row.format;
    facts->extended_tracks = row.extended_bam;
    return true;
}
