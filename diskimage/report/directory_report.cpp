// Directory listing: the narrow form the drive shows, or the wide form with a
// sequence number, the verified sector count and the MD5 of each PRG file.
#include "petscii.h"
#include "report.h"
#include "trakvol.h"

#include <cstdio>

namespace {

// Type codes 0-4; 5 is a 1581 partition.
const char* const file_type_descriptors[] = {"del", "seq", "prg", "usr", "rel", "cbm"};

constexpr uint8_t k_closed_flag = 0x80;
constexpr uint8_t k_locked_flag = 0x40;
constexpr uint8_t k_type_code_mask = 0x3F;
constexpr uint8_t k_type_prg = 2;
constexpr int32_t k_md5_length = 16;
// The size column is three characters wide: counts are shown modulo 1000.
constexpr int32_t k_block_count_modulus = 1000;

struct listing_options {
    bool include_scratched;
    bool wide;
};

void print_header(const d64_disk* disk, int32_t free_blocks, bool wide, FILE* stream) {
    char name[k_name_length + 1];
    char id[k_id_length + 1];
    d64_get_disk_name(disk, name);
    d64s_normalize_petscii_string(name, k_name_length);
    d64s_petscii_string_to_ascii(name, k_name_length);
    d64_get_disk_id(disk, id);
    d64s_normalize_petscii_string(id, k_id_length);
    d64s_petscii_string_to_ascii(id, k_id_length);
    if (!wide) {
        std::fprintf(stream, "0 .\"%-16s\" %5s\n", name, id);
        return;
    }
    std::fprintf(stream, "Disk name           Disk id  Free blocks\n");
    std::fprintf(stream, "\"%-16s\"  \"%5s\"      %3d\n\n", name, id, free_blocks);
    std::fprintf(stream, "Seq  ");
    std::fprintf(stream, "Size File name          Type  Blks  MD5 hash\n");
}

// The chain's own sector count, marked when it differs from the directory's, and
// the MD5 of the contents.
void print_prg_columns(const d64_disk* disk, const d64_dir_entry* entry, int32_t blocks,
                       FILE* stream) {
    int32_t chain_sectors = 0;
    if (d64_calculate_file_size_sectors(disk, entry, &chain_sectors)) {
        std::fprintf(stream, "  %c%-3d", chain_sectors == blocks ? ' ' : '*', chain_sectors);
    } else {
        std::fprintf(stream, "  *???");
    }
    uint8_t digest[k_md5_length];
    if (d64_calculate_file_md5(disk, entry, digest)) {
        std::fprintf(stream, "  ");
        for (uint8_t byte : digest) {
            std::fprintf(stream, "%02x", byte);
        }
    } else {
        std::fprintf(stream, "  [ failed to scan the t/s chain ]");
    }
}

// Prints one slot's line, if it has one.
void print_slot(const d64_disk* disk, const d64_dir_entry* entry, int32_t sequence,
                listing_options options, FILE* stream) {
    int32_t blocks = 0;
    char name[k_name_length + 1];
    char quoted[k_quoted_name_length + 1];
    d64_get_file_size_sectors(entry, &blocks);
    d64_get_file_name(entry, name);
    d64s_normalize_petscii_string(name, k_name_length);
    d64s_quote_petscii_filename(quoted, name);
    d64s_petscii_string_to_ascii(quoted, k_quoted_name_length);
    blocks %= k_block_count_modulus;

    uint8_t type = 0;
    if (!d64_get_file_type_on_disk(disk, entry, &type)) {
        std::fprintf(stream, "???  ?????????????????? ??? \n");
        return;
    }
    if (type == 0) {
        // A scratched entry or an empty slot; only named ones are shown, on request.
        if (options.include_scratched && name[0] != '\0') {
            std::fprintf(stream, "%-3d  %-18s scr \n", blocks, quoted);
        }
        return;
    }
    if (options.wide) {
        std::fprintf(stream, "%-3d  ", sequence);
    }
    std::fprintf(stream, "%-3d  %-18s%c%s%c", blocks, quoted, (type & k_closed_flag) ? ' ' : '*',
                 file_type_descriptors[type & k_type_code_mask],
                 (type & k_locked_flag) ? '<' : ' ');
    if (options.wide && (type & k_type_code_mask) == k_type_prg) {
        print_prg_columns(disk, entry, blocks, stream);
    }
    std::fprintf(stream, "\n");
}

} // namespace

bool d64_dump_directory_contents(const d64_disk* disk, bool include_scratched, bool wide,
                                 FILE* stream) {
    if (disk == nullptr || stream == nullptr) {
        return false;
    }
    int32_t free_blocks = 0;
    d64_count_free_sectors(disk, &free_blocks);
    print_header(disk, free_blocks, wide, stream);

    const listing_options options{include_scratched, wide};
    d64_dir_cursor cursor{};
    const d64_dir_entry* entry = nullptr;
    d64_first_dir_entry(disk, &cursor, &entry);
    const int32_t slot_limit = d64s_directory_slot_limit(disk);
    int32_t sequence = 0;
    do {
        ++sequence;
        print_slot(disk, entry, sequence, options, stream);
    } while (sequence < slot_limit && d64_next_dir_entry(disk, &cursor, &entry));

    if (!wide) {
        std::fprintf(stream, "%d blocks free.\n", free_blocks);
    }
    return true;
}
