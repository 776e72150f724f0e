// Private: the format table. One row per disk format and one per decoder of raw track
// dumps; a new format is a new row here and a code in the public d64_format.
#ifndef TRAKVOL_FORMATS_H
#define TRAKVOL_FORMATS_H

#include "format_row.h"

#include <iterator>

// The 8050 and the 8250 (its two-sided kin) differ only in sides, and so in tracks
// and BAM sectors: every BAM sector covers 50 tracks, the next one 3 sectors on.
constexpr d64s_format d64s_8050_family(d64_format format, const char* name, int32_t sides,
                                       const char* description) {
    constexpr int32_t side_tracks = 77;
    constexpr int32_t tracks_per_bam_sector = 50;
    d64s_format row{.format = format,
                    .name = name,
                    .min_tracks = side_tracks * sides,
                    .max_tracks = side_tracks * sides,
                    .error_bytes = false,
                    .sides = sides,
                    .zones = {{39, 29}, {53, 27}, {64, 25}, {77, 23}},
                    .header = {39, 0, 0},
                    .header_link = {38, 0, 0},
                    .name_offset = 0x06,
                    .id_offset = 0x18,
                    .dos_type_offset = 0x1B,
                    .dos_version_offset = 2,
                    .dos_version = 0x43,
                    .bam = {},
                    .bitmap_bytes = 4,
                    .extended_bam = false,
                    .directory = {39, 1, 0},
                    .excluded_tracks = {39, 0},
                    .reserved_track = 0,
                    .max_directory_slots = 224,
                    .max_type_code = 4,
                    .listed_block_modulus = 0,
                    .description = description};
    for (int32_t part = 0; part * tracks_per_bam_sector < row.max_tracks; ++part) {
        const int32_t left = row.max_tracks - part * tracks_per_bam_sector;
        row.bam[part] = {left < tracks_per_bam_sector ? left : tracks_per_bam_sector,
                         {38, 3 * part, 7}, 5, {38, 3 * part, 6}, 5, {}};
    }
    return d64s_with_geometry(row);
}

// The sector formats, in the order recognition tries their lengths.
inline constexpr d64s_format k_formats[] = {
    // 1541: header and BAM at 18/0, the directory from 18/1. 35 tracks, or up to 42
    // on disks formatted past the standard 35, whose BAM layouts vary.
    d64s_with_geometry({.format = D64_FORMAT_D64,
                        .name = "d64",
                        .min_tracks = 35,
                        .max_tracks = 42,
                        .error_bytes = true,
                        .sides = 1,
                        .zones = {{17, 21}, {24, 19}, {30, 18}, {42, 17}},
                        .header = {18, 0, 0},
                        .header_link = {18, 1, 0},
                        .name_offset = 0x90,
                        .id_offset = 0xA2,
                        .dos_type_offset = 0xA5,
                        .dos_version_offset = 2,
                        .dos_version = 0x41,
                        .bam = {{35, {18, 0, 5}, 4, {18, 0, 4}, 4, {}}},
                        .bitmap_bytes = 3,
                        .extended_bam = true,
                        .directory = {18, 1, 0},
                        .excluded_tracks = {18, 0},
                        .reserved_track = 0,
                        .max_directory_slots = 144,
                        .max_type_code = 4,
                        .listed_block_modulus = 1000,
                        .description = "Commodore 1541"}),
    // 1571: two 1541 sides. Side 2's free counts follow side 1's entries on 18/0
    // from 0xDD, its bitmaps fill 53/0 (side 2's track 18), which counts as little.
    d64s_with_geometry({.format = D64_FORMAT_D71,
                        .name = "d71",
                        .min_tracks = 70,
                        .max_tracks = 70,
                        .error_bytes = true,
                        .sides = 2,
                        .zones = {{17, 21}, {24, 19}, {30, 18}, {35, 17}},
                        .header = {18, 0, 0},
                        .header_link = {18, 1, 0},
                        .name_offset = 0x90,
                        .id_offset = 0xA2,
                        .dos_type_offset = 0xA5,
                        .dos_version_offset = 2,
                        .dos_version = 0x41,
                        .bam = {{35, {18, 0, 5}, 4, {18, 0, 4}, 4, {}},
                                {35, {53, 0, 0}, 3, {18, 0, 0xDD}, 1, {53, 0, 0xDD}}},
                        .bitmap_bytes = 3,
                        .extended_bam = false,
                        .directory = {18, 1, 0},
                        .excluded_tracks = {18, 53},
                        .reserved_track = 53,
                        .max_directory_slots = 144,
                        .max_type_code = 4,
                        .listed_block_modulus = 0,
                        .description = "Commodore 1571"}),
    // 1581: 80 tracks of 40 sectors; header 40/0, BAM 40/1 (tracks 1-40) and 40/2
    // (41-80), 6 bytes a track from 0x10, the directory from 40/3 (37 sectors of 8
    // slots). Type code 5 is a partition. Its formatting allocates only 40/0-40/3:
    // the rest of track 40 may hold data (a C128 CP/M boot sector, say) like any other.
    d64s_with_geometry({.format = D64_FORMAT_D81,
                        .name = "d81",
                        .min_tracks = 80,
                        .max_tracks = 80,
                        .error_bytes = true,
                        .sides = 1,
                        .zones = {{80, 40}},
                        .header = {40, 0, 0},
                        .header_link = {40, 3, 0},
                        .name_offset = 0x04,
                        .id_offset = 0x16,
                        .dos_type_offset = 0x19,
                        .dos_version_offset = 2,
                        .dos_version = 0x44,
                        .bam = {{40, {40, 1, 0x11}, 6, {40, 1, 0x10}, 6, {}},
                                {40, {40, 2, 0x11}, 6, {40, 2, 0x10}, 6, {}}},
                        .bitmap_bytes = 5,
                        .extended_bam = false,
                        .directory = {40, 3, 0},
                        .excluded_tracks = {40, 0},
                        .reserved_track = 0,
                        .max_directory_slots = 296,
                        .max_type_code = 5,
                        .listed_block_modulus = 0,
                        .description = "Commodore 1581"}),
    // 8050: 77 tracks in four zones; header 39/0 (linking to the first BAM sector),
    // BAM 38/0 (tracks 1-50) and 38/3 (51-77), 5 bytes a track from byte 6, the
    // directory from 39/1 (28 sectors of 8 slots).
    d64s_8050_family(D64_FORMAT_D80, "d80", 1, "Commodore 8050"),
    // 8250: the 8050's two sides, tracks 78-154 shaped as 1-77; BAM 38/0, 38/3, 38/6
    // and 38/9, 50 tracks each but the last.
    d64s_8050_family(D64_FORMAT_D82, "d82", 2, "Commodore 8250"),
};

// A G64 of 84 tracks of 7928 bytes is some 670 KiB, and files with larger tracks
// exist; 8 MiB holds any.
inline constexpr uint64_t k_largest_gcr_table_file = uint64_t{8} << 20;
// A NIB's header is 256 bytes, its track table at most 120 entries; only 84 whole and
// half-tracks (1 to 42) are read.
inline constexpr uint64_t k_nib_header_bytes = 256;
inline constexpr uint64_t k_nib_pass_bytes = 8192;
inline constexpr uint64_t k_nib_most_entries = 120;

// Raw track dumps, each decoded into the sectors of a row above.
inline constexpr d64s_decoder k_decoders[] = {
    {D64_FORMAT_G64, D64_FORMAT_D64, "g64", "GCR-1541", d64s_dump_kind::gcr_tables, 84, 1, "g64",
     k_largest_gcr_table_file, "Commodore 1541, GCR track dump"},
    {D64_FORMAT_G71, D64_FORMAT_D71, "g71", "GCR-1571", d64s_dump_kind::gcr_tables, 84, 1, "g71",
     k_largest_gcr_table_file, "Commodore 1571, GCR track dump"},
    // The C64 Preservation Project's nibtools: each track as the drive read it, over
    // more than a revolution; an NB2 holds 16 passes per track, four at each density.
    {D64_FORMAT_NIB, D64_FORMAT_D64, "nib", "MNIB-1541-RAW", d64s_dump_kind::nib_capture, 0, 1,
     "nib", k_nib_header_bytes + k_nib_most_entries* k_nib_pass_bytes,
     "Commodore 1541, nibtools raw dump"},
    {D64_FORMAT_NB2, D64_FORMAT_D64, "nb2", "MNIB-1541-RAW", d64s_dump_kind::nib_capture, 0, 16,
     "nib", k_nib_header_bytes + k_nib_most_entries * 16 * k_nib_pass_bytes,
     "Commodore 1541, nibtools multi-pass dump"},
};

// The most sectors a disk of any row has.
constexpr int32_t d64s_most_sectors() {
    int32_t most = 0;
    for (const d64s_format& row : k_formats) {
        const int32_t sectors = row.track_start[row.max_tracks + 1];
        most = sectors > most ? sectors : most;
    }
    return most;
}
inline constexpr int32_t k_most_sectors = d64s_most_sectors();

inline constexpr int32_t k_format_codes = D64_FORMAT_COUNT;
static_assert(std::size(k_formats) + std::size(k_decoders) == k_format_codes,
              "every format code has a row or a decoder");

// The row index of every format code, a decoder's that of the row it decodes into.
constexpr std::array<int32_t, k_format_codes> d64s_make_row_index() {
    std::array<int32_t, k_format_codes> index{};
    for (int32_t row = 0; row < static_cast<int32_t>(std::size(k_formats)); ++row) {
        index[k_formats[row].format] = row;
    }
    for (const d64s_decoder& decoder : k_decoders) {
        index[decoder.format] = index[decoder.row];
    }
    return index;
}
inline constexpr auto k_row_index = d64s_make_row_index();

// The row of a format: a decoded G64 or G71 reads as the row it decodes to.
inline const d64s_format& d64s_row_of(d64_format format) {
    return k_formats[k_row_index[static_cast<size_t>(format)]];
}

// The decoder of a format code, or null for a sector format.
inline const d64s_decoder* d64s_decoder_of(d64_format format) {
    for (const d64s_decoder& decoder : k_decoders) {
        if (decoder.format == format) {
            return &decoder;
        }
    }
    return nullptr;
}

#endif // TRAKVOL_FORMATS_H
