// Search of the directory for the first file name matching a shell wildcard.
#include "petscii.h"
#include "report.h"
#include "trakvol.h"

#include <cstdio>
#include <cstring>
#include <fnmatch.h>

bool d64_find_pattern(const d64_disk* disk, const char* pattern, bool* found) {
    return d64_find_pattern_to(disk, pattern, found, stdout);
}

namespace {

struct unicode_form {
    d64_charset set;
    d64_controls controls;
};

// The name as the match line shows it: converted, padding included.
void print_match(const char* raw, const char* converted, const unicode_form* unicode,
                 FILE* stream) {
    if (unicode == nullptr) {
        std::fprintf(stream, "Match: \"%s\"\n", converted);
        return;
    }
    char text[D64_UTF8_BYTES_PER_CODE * k_name_length + 1];
    d64_petscii_to_utf8(raw, k_name_length, D64_TEXT_PADDED, unicode->set, unicode->controls, text,
                        nullptr);
    std::fprintf(stream, "Match: \"%s\"\n", text);
}

bool find_pattern(const d64_disk* disk, const char* pattern, bool* found,
                  const unicode_form* unicode, FILE* stream) {
    *found = false;
    d64_dir_cursor cursor{};
    const d64_dir_entry* entry = nullptr;
    d64_first_dir_entry(disk, &cursor, &entry);
    const int32_t slot_limit = d64s_directory_slot_limit(disk);
    int32_t slot = 0;
    do {
        ++slot;
        // The name is matched as converted, without normalising: padding shifted
        // spaces stay as trailing spaces. Every slot takes part, scratched ones too.
        char raw[k_name_length + 1];
        char name[k_name_length + 1];
        d64_get_file_name(entry, raw);
        std::memcpy(name, raw, sizeof name);
        d64s_petscii_string_to_ascii(name, k_name_length);
        if (fnmatch(pattern, name, FNM_CASEFOLD) == 0) {
            print_match(raw, name, unicode, stream);
            *found = true;
            break;
        }
    } while (slot < slot_limit && d64_next_dir_entry(disk, &cursor, &entry));
    return true;
}

} // namespace

bool d64_find_pattern_to(const d64_disk* disk, const char* pattern, bool* found, FILE* stream) {
    if (disk == nullptr || found == nullptr || stream == nullptr) {
        return false;
    }
    return find_pattern(disk, pattern, found, nullptr, stream);
}

bool d64_find_pattern_unicode(const d64_disk* disk, const char* pattern, bool* found,
                              d64_charset set, d64_controls controls, FILE* stream) {
    if (disk == nullptr || found == nullptr || stream == nullptr ||
        !d64s_is_unicode_form(set, controls)) {
        return false;
    }
    const unicode_form unicode{set, controls};
    return find_pattern(disk, pattern, found, &unicode, stream);
}
