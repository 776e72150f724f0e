// The track/sector geometry of a handle's disk, and the facts of its format.
#include "geometry.h"

#include <algorithm>

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

namespace {

// The "blocks free" of a freshly formatted disk: the sectors of the tracks that count,
// but those of the header, the BAM and the first directory sector on them.
int32_t empty_free_blocks(const d64s_format& row, int32_t tracks) {
    const auto counted = [&row](int32_t track) {
        return track != row.excluded_tracks[0] && track != row.excluded_tracks[1];
    };
    int32_t free_blocks = 0;
    for (int32_t track = 1; track <= tracks; ++track) {
        free_blocks += counted(track) ? row.track_sectors[track] : 0;
    }
    d64s_place system[2 + 3 * k_most_bam_parts] = {row.header, row.directory};
    int32_t places = 2;
    for (const d64s_bam_part& part : row.bam) {
        if (part.tracks != 0) {
            system[places++] = part.bitmap;
            system[places++] = part.count;
        }
    }
    for (int32_t i = 0; i < places; ++i) {
        bool seen = !counted(system[i].track);
        for (int32_t j = 0; j < i && !seen; ++j) {
            seen = system[j].track == system[i].track && system[j].sector == system[i].sector;
        }
        free_blocks -= seen ? 0 : 1;
    }
    return free_blocks;
}

int32_t first_system_track(const d64s_format& row) {
    int32_t first = row.header.track;
    for (const d64s_bam_part& part : row.bam) {
        if (part.tracks != 0) {
            first = std::min({first, part.bitmap.track, part.count.track});
        }
    }
    return first;
}

} // namespace

bool d64_get_format_shape(int32_t format, d64_format_shape* shape) {
    if (shape == nullptr || format < 0 || format >= D64_FORMAT_COUNT) {
        return false;
    }
    const auto code = static_cast<d64_format>(format);
    const d64s_format& row = d64s_row_of(code);
    const d64s_decoder* decoder = d64s_decoder_of(code);
    shape->format = format;
    shape->min_tracks = row.min_tracks;
    shape->max_tracks = row.max_tracks;
    shape->standard_tracks = row.min_tracks;
    shape->error_bytes = decoder == nullptr && row.error_bytes;
    shape->signature = decoder != nullptr ? decoder->signature : nullptr;
    shape->dump_family = decoder != nullptr ? decoder->family : nullptr;
    shape->track_captures = decoder != nullptr && decoder->kind == d64s_dump_kind::nib_capture;
    const auto sectors = static_cast<uint64_t>(d64s_row_sectors(row, row.max_tracks));
    shape->largest_file = decoder != nullptr
                              ? decoder->largest_file
                              : (k_sector_size + (row.error_bytes ? 1 : 0)) * sectors;
    shape->empty_free_blocks = empty_free_blocks(row, row.min_tracks);
    shape->first_system_track = first_system_track(row);
    return true;
}

bool d64_get_track_offset(int32_t format, int32_t track, uint64_t* offset) {
    if (offset == nullptr || format < 0 || format >= D64_FORMAT_COUNT) {
        return false;
    }
    const d64s_format& row = d64s_row_of(static_cast<d64_format>(format));
    if (track < 1 || track > row.max_tracks + 1) {
        return false;
    }
    *offset = uint64_t{k_sector_size} * static_cast<uint64_t>(row.track_start[track]);
    return true;
}
