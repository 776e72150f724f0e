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

struct search {
    const char* pattern;
    const unicode_form* unicode;
    FILE* stream;
    bool found;
};

// The name is matched as converted, without normalising: padding shifted spaces stay
// as trailing spaces. Every slot takes part, scratched ones too.
bool match_slot(const d64_dir_entry* entry, int32_t, void* context) {
    auto& how = *static_cast<search*>(context);
    char raw[k_name_length + 1];
    char name[k_name_length + 1];
    d64_get_file_name(entry, raw);
    std::memcpy(name, raw, sizeof name);
    d64s_petscii_string_to_ascii(name, k_name_length);
    if (fnmatch(how.pattern, name, FNM_CASEFOLD) == 0) {
        print_match(raw, name, how.unicode, how.stream);
        how.found = true;
        return false;
    }
    return true;
}

} // namespace

bool d64_find_pattern_ex(const d64_disk* disk, const char* pattern,
                         const d64_listing_options* options, bool* found, FILE* stream) {
    if (disk == nullptr || found == nullptr || stream == nullptr ||
        !d64s_listing_options_ok(options)) {
        return false;
    }
    const unicode_form unicode{static_cast<d64_charset>(options->charset),
                               static_cast<d64_controls>(options->controls)};
    search how{pattern, (options->flags & D64_LIST_UNICODE) != 0 ? &unicode : nullptr, stream,
               false};
    d64_foreach_dir_entry(disk, match_slot, &how);
    *found = how.found;
    return true;
}

bool d64_find_pattern_to(const d64_disk* disk, const char* pattern, bool* found, FILE* stream) {
    const d64_listing_options options = d64s_listing_options(0);
    return d64_find_pattern_ex(disk, pattern, &options, found, stream);
}

bool d64_find_pattern_unicode(const d64_disk* disk, const char* pattern, bool* found,
                              d64_charset set, d64_controls controls, FILE* stream) {
    const d64_listing_options options = d64s_listing_options(D64_LIST_UNICODE, set, controls);
    return d64_find_pattern_ex(disk, pattern, &options, found, stream);
}
