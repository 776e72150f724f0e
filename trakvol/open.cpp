// Opening an image: its length tells the sector format (each row of the format table
// names the lengths it accepts); a raw track dump is told by its signature (and a
// NIB from an NB2 by its length) and decoded into the sectors of its row.
#include "decoder.h"
#include "geometry.h"

#include <cstdlib>
#include <cstring>

namespace {

// The handle is one heap block, released with free().
bool make_handle(d64_disk** out_disk, const uint8_t* image, uint64_t image_size, d64_format format,
                 int32_t tracks, int32_t sectors) {
    *out_disk = static_cast<d64_disk*>(std::malloc(sizeof(d64_disk)));
    if (*out_disk == nullptr) {
        return false;
    }
    d64_disk* disk = *out_disk;
    disk->image = image;
    disk->track_count = tracks;
    disk->sector_data_size = uint64_t{k_sector_size} * static_cast<uint64_t>(sectors);
    disk->error_info_size = image_size - disk->sector_data_size;
    disk->format = format;
    return true;
}

// The track count of an image of the row's format with this length (sector data
// alone, or followed by one error byte per sector where the format has them), or 0.
int32_t tracks_of_length(const d64s_format& row, uint64_t image_size) {
    for (int32_t tracks = row.min_tracks; tracks <= row.max_tracks; ++tracks) {
        const auto sectors = static_cast<uint64_t>(d64s_row_sectors(row, tracks));
        if (image_size == k_sector_size * sectors ||
            (row.error_bytes && image_size == (k_sector_size + 1) * sectors)) {
            return tracks;
        }
    }
    return 0;
}

bool open_as(const d64s_format& row, d64_disk** out_disk, const uint8_t* image,
             uint64_t image_size, bool* recognised) {
    const int32_t tracks = tracks_of_length(row, image_size);
    *recognised = tracks != 0;
    return tracks != 0 && make_handle(out_disk, image, image_size, row.format, tracks,
                                      d64s_row_sectors(row, tracks));
}

} // namespace

bool d64_init_disk(d64_disk** out_disk, const uint8_t* image, uint64_t image_size) {
    if (image == nullptr || image_size == 0) {
        return false;
    }
    // The length alone tells the track count and whether error codes follow.
    bool recognised = false;
    return open_as(d64s_row_of(D64_FORMAT_D64), out_disk, image, image_size, &recognised);
}

bool d64_open_disk(d64_disk** out_disk, const uint8_t* image, uint64_t image_size,
                   d64_format* format) {
    if (image == nullptr || image_size == 0) {
        return false;
    }
    const d64s_format* found = nullptr;
    for (const d64s_format& row : k_formats) {
        bool recognised = false;
        if (open_as(row, out_disk, image, image_size, &recognised)) {
            found = &row;
            break;
        }
        if (recognised) {
            return false; // the allocation failed
        }
    }
    d64_format code = found != nullptr ? found->format : D64_FORMAT_D64;
    for (const d64s_decoder& decoder : k_decoders) {
        if (found != nullptr || image_size < std::strlen(decoder.signature) ||
            std::memcmp(image, decoder.signature, std::strlen(decoder.signature)) != 0) {
            continue;
        }
        // Decoders that share a signature (NIB, NB2) each tell their own form.
        switch (d64s_decode_dump(decoder, out_disk, image, image_size)) {
        case d64s_decode_result::not_recognised:
            continue;
        case d64s_decode_result::failed:
            return false;
        case d64s_decode_result::decoded:
            code = decoder.format;
            found = &d64s_row_of(decoder.row);
            break;
        }
    }
    if (found == nullptr) {
        return false;
    }
    if (format != nullptr) {
        *format = code;
    }
    return true;
}

void d64_close_disk(d64_disk* disk) {
    // A decoded dump's image lives in the same block as its handle.
    std::free(disk);
}
