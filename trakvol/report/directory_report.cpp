// Directory listing: the narrow form the drive shows, or the wide form with a
// sequence number, the verified sector count and the MD5 of each PRG file; names in
// printable ASCII or, on request, in Unicode.
#include "geometry.h"
#include "petscii.h"
#include "report.h"
#include "trakvol.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr uint8_t k_type_prg = 2;
constexpr int32_t k_md5_length = 16;

// The block count the listing shows: on a 1541 disk modulo 1000, in its three columns;
// on the larger disks the whole count, which widens the line that has one of 1000 or
// more.
int32_t listed_blocks(const d64_disk* disk, int32_t blocks) {
    const int32_t modulus = d64s_row(disk).listed_block_modulus;
    return modulus != 0 ? blocks % modulus : blocks;
}

// How names are shown: ASCII (the listing as it always was) or Unicode.
struct name_form {
    bool unicode = false;
    d64_charset set = D64_CHARSET_UPPER;
    d64_controls controls = D64_CONTROLS_REPLACED;
};

struct listing_options {
    bool include_scratched;
    bool wide;
    name_form names;
};

// A name, id or quoted name as shown, with the columns it takes.
struct shown_text {
    char text[D64_UTF8_BYTES_PER_CODE * k_quoted_name_length + 1];
    int32_t columns;
};

// Left-justified (or right-justified) in `width` columns, as printf pads ASCII.
void print_padded(FILE* stream, const shown_text& shown, int32_t width, bool right = false) {
    const int32_t padding = shown.columns < width ? width - shown.columns : 0;
    if (right) {
        std::fprintf(stream, "%*s", padding, "");
    }
    std::fputs(shown.text, stream);
    if (!right) {
        std::fprintf(stream, "%*s", padding, "");
    }
}

// A scratched slot is listed when its name, normalised, is not empty.
bool has_name(const char* raw) {
    char name[k_name_length + 1];
    std::memcpy(name, raw, sizeof name);
    d64s_normalize_petscii_string(name, k_name_length);
    return name[0] != '\0';
}

// The disk name or id: the whole field in ASCII, or its trimmed part in Unicode.
shown_text header_text(const char* field, int32_t length, const name_form& form) {
    shown_text shown;
    if (form.unicode) {
        d64_petscii_to_utf8(field, length, D64_TEXT_TRIMMED, form.set, form.controls, shown.text,
                            &shown.columns);
        return shown;
    }
    std::memcpy(shown.text, field, static_cast<size_t>(length) + 1);
    d64s_normalize_petscii_string(shown.text, length);
    d64s_petscii_string_to_ascii(shown.text, length);
    shown.columns = static_cast<int32_t>(std::strlen(shown.text));
    return shown;
}

// The quoted form of a raw file name: the part before the first shifted space in
// quotes, the rest of the trimmed field after them.
shown_text quoted_text(const char* raw, const name_form& form) {
    shown_text shown;
    if (!form.unicode) {
        char name[k_name_length + 1];
        std::memcpy(name, raw, sizeof name);
        d64s_normalize_petscii_string(name, k_name_length);
        d64s_quote_petscii_filename(shown.text, name);
        d64s_petscii_string_to_ascii(shown.text, k_quoted_name_length);
        shown.columns = static_cast<int32_t>(std::strlen(shown.text));
        return shown;
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(raw);
    const int32_t end = d64s_petscii_field_part(raw, k_name_length, D64_TEXT_TRIMMED);
    const int32_t inside = d64s_petscii_field_part(raw, k_name_length, D64_TEXT_QUOTED);
    char* out = shown.text;
    *out++ = '"';
    out += d64s_petscii_to_utf8(bytes, inside, form.set, form.controls, out);
    *out++ = '"';
    const int32_t rest = inside < end ? end - inside - 1 : 0;
    d64s_petscii_to_utf8(bytes + inside + 1, rest, form.set, form.controls, out);
    shown.columns = inside + 2 + rest;
    return shown;
}

void print_header(const d64_disk* disk, int32_t free_blocks, const listing_options& options,
                  FILE* stream) {
    char name[k_name_length + 1];
    char id[k_id_length + 1];
    d64_get_disk_name(disk, name);
    d64_get_disk_id(disk, id);
    const shown_text shown_name = header_text(name, k_name_length, options.names);
    const shown_text shown_id = header_text(id, k_id_length, options.names);
    if (!options.wide) {
        std::fprintf(stream, "0 .\"");
        print_padded(stream, shown_name, k_name_length);
        std::fprintf(stream, "\" ");
        print_padded(stream, shown_id, k_id_length, true);
        std::fprintf(stream, "\n");
        return;
    }
    std::fprintf(stream, "Disk name           Disk id  Free blocks\n\"");
    print_padded(stream, shown_name, k_name_length);
    std::fprintf(stream, "\"  \"");
    print_padded(stream, shown_id, k_id_length, true);
    std::fprintf(stream, "\"      %3d\n\n", free_blocks);
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
                const listing_options& options, FILE* stream) {
    int32_t blocks = 0;
    char name[k_name_length + 1];
    d64_get_file_size_sectors(entry, &blocks);
    d64_get_file_name(entry, name);
    blocks = listed_blocks(disk, blocks);

    uint8_t type = 0;
    if (!d64_get_file_type_on_disk(disk, entry, &type)) {
        std::fprintf(stream, "???  ?????????????????? ??? \n");
        return;
    }
    if (type == 0) {
        // A scratched entry or an empty slot; only named ones are shown, on request.
        if (options.include_scratched && has_name(name)) {
            std::fprintf(stream, "%-3d  ", blocks);
            print_padded(stream, quoted_text(name, options.names), k_quoted_name_length);
            std::fprintf(stream, " scr \n");
        }
        return;
    }
    if (options.wide) {
        std::fprintf(stream, "%-3d  ", sequence);
    }
    std::fprintf(stream, "%-3d  ", blocks);
    print_padded(stream, quoted_text(name, options.names), k_quoted_name_length);
    const char* type_name = "???";
    d64_file_type_name(type, &type_name);
    std::fprintf(stream, "%c%s%c", (type & D64_CLOSED_FLAG) ? ' ' : '*', type_name,
                 (type & D64_LOCKED_FLAG) ? '<' : ' ');
    if (options.wide && (type & D64_TYPE_MASK) == k_type_prg) {
        print_prg_columns(disk, entry, blocks, stream);
    }
    std::fprintf(stream, "\n");
}

struct listing_walk {
    const d64_disk* disk;
    const listing_options& options;
    FILE* stream;
};

bool print_slot_of_walk(const d64_dir_entry* entry, int32_t slot, void* context) {
    const auto& walk = *static_cast<const listing_walk*>(context);
    print_slot(walk.disk, entry, slot, walk.options, walk.stream);
    return true;
}

bool dump_directory(const d64_disk* disk, const listing_options& options, FILE* stream) {
    int32_t free_blocks = 0;
    d64_count_free_sectors(disk, &free_blocks);
    print_header(disk, free_blocks, options, stream);
    listing_walk walk{disk, options, stream};
    d64_foreach_dir_entry(disk, print_slot_of_walk, &walk);
    if (!options.wide) {
        std::fprintf(stream, "%d blocks free.\n", free_blocks);
    }
    return true;
}

} // namespace

bool d64s_listing_options_ok(const d64_listing_options* options) {
    return options != nullptr && options->version >= 1 &&
           options->version <= D64_LISTING_OPTIONS_VERSION &&
           ((options->flags & D64_LIST_UNICODE) == 0 ||
            d64s_is_unicode_form(static_cast<d64_charset>(options->charset),
                                 static_cast<d64_controls>(options->controls)));
}

bool d64_dump_directory_ex(const d64_disk* disk, const d64_listing_options* options, FILE* stream) {
    if (disk == nullptr || stream == nullptr || !d64s_listing_options_ok(options)) {
        return false;
    }
    const listing_options how{(options->flags & D64_LIST_SCRATCHED) != 0,
                              (options->flags & D64_LIST_WIDE) != 0,
                              name_form{(options->flags & D64_LIST_UNICODE) != 0,
                                        static_cast<d64_charset>(options->charset),
                                        static_cast<d64_controls>(options->controls)}};
    return dump_directory(disk, how, stream);
}

bool d64_dump_directory_contents(const d64_disk* disk, bool include_scratched, bool wide,
                                 FILE* stream) {
    const d64_listing_options options = d64s_listing_options(
        (include_scratched ? D64_LIST_SCRATCHED : 0U) | (wide ? D64_LIST_WIDE : 0U));
    return d64_dump_directory_ex(disk, &options, stream);
}

bool d64_dump_directory_unicode(const d64_disk* disk, bool include_scratched, bool wide,
                                d64_charset set, d64_controls controls, FILE* stream) {
    const d64_listing_options options =
        d64s_listing_options(D64_LIST_UNICODE | (include_scratched ? D64_LIST_SCRATCHED : 0U) |
                                 (wide ? D64_LIST_WIDE : 0U),
                             set, controls);
    return d64_dump_directory_ex(disk, &options, stream);
}
