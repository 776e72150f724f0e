// Fuzz target: the name conversions on arbitrary 16-, 5- and 18-byte fields. The
// text they leave must be printable ASCII only, and a quoted name at most 18 long.
#include "petscii.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

// Text of at most `limit` characters, each printable ASCII.
void check_text(const char* text, size_t limit, const char* what) {
    const size_t length = strnlen(text, limit + 1);
    check(length <= limit, what);
    for (size_t i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        check(c >= 32 && c <= 126, what);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The input is cut into a 16-byte name, a 5-byte id and an 18-byte field.
    uint8_t fields[16 + 5 + 18] = {0};
    if (size > 0) {
        std::memcpy(fields, data, size < sizeof fields ? size : sizeof fields);
    }

    char name[17] = {0};
    std::memcpy(name, fields, 16);
    char searched[17];
    std::memcpy(searched, name, sizeof searched);
    d64s_petscii_string_to_ascii(searched, 16);
    check_text(searched, 16, "converted name");

    d64s_normalize_petscii_string(name, 16);
    char quoted[k_quoted_name_length + 1];
    d64s_quote_petscii_filename(quoted, name);
    check(strnlen(quoted, sizeof quoted) <= 18, "quoted name length");
    d64s_petscii_string_to_ascii(quoted, k_quoted_name_length);
    check_text(quoted, 18, "quoted name");
    d64s_petscii_string_to_ascii(name, 16);
    check_text(name, 16, "normalised name");

    char id[6] = {0};
    std::memcpy(id, fields + 16, 5);
    d64s_normalize_petscii_string(id, 5);
    d64s_petscii_string_to_ascii(id, 5);
    check_text(id, 5, "disk id");

    char field[19] = {0};
    std::memcpy(field, fields + 21, 18);
    d64s_petscii_string_to_ascii(field, 18);
    check_text(field, 18, "18-byte field");
    return 0;
}
