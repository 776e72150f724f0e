// Search of the directory for the first file name matching a shell wildcard.
#include "petscii.h"
#include "report.h"
#include "trakvol.h"

#include <cstdio>
#include <fnmatch.h>

bool d64_find_pattern(const d64_disk* disk, const char* pattern, bool* found) {
    return d64_find_pattern_to(disk, pattern, found, stdout);
}

bool d64_find_pattern_to(const d64_disk* disk, const char* pattern, bool* found, FILE* stream) {
    if (disk == nullptr || found == nullptr || stream == nullptr) {
        return false;
    }
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
        char name[k_name_length + 1];
        d64_get_file_name(entry, name);
        d64s_petscii_string_to_ascii(name, k_name_length);
        if (fnmatch(pattern, name, FNM_CASEFOLD) == 0) {
            std::fprintf(stream, "Match: \"%s\"\n", name);
            *found = true;
            break;
        }
    } while (slot < slot_limit && d64_next_dir_entry(disk, &cursor, &entry));
    return true;
}
