// PETSCII to printable ASCII for disk names, ids and file names.
#include "petscii.h"

#include "report.h"
#include "trakvol.h"

#include <cctype>
#include <cstring>

namespace {

constexpr uint8_t k_carriage_return = 0x0D;
constexpr uint8_t k_dot = '.';

uint8_t byte_at(const char* buffer, int32_t index) {
    return static_cast<uint8_t>(buffer[index]);
}

} // namespace

void d64s_normalize_petscii_string(char* buffer, int32_t length) {
    d64s_substitute_zero_trailings_with_equivalent(buffer, length);
    d64s_substitute_byte_with_another(buffer, k_carriage_return, k_dot, length);
    d64s_trim_padded_petscii_string(buffer, length);
}

void d64s_substitute_zero_trailings_with_equivalent(char* buffer, int32_t length) {
    for (int32_t i = length - 1; i >= 0 && byte_at(buffer, i) == 0; --i) {
        buffer[i] = static_cast<char>(k_shifted_space);
    }
}

void d64s_substitute_byte_with_another(char* buffer, uint8_t from, uint8_t to, int32_t length) {
    for (int32_t i = length - 1; i >= 0; --i) {
        if (byte_at(buffer, i) == from) {
            buffer[i] = static_cast<char>(to);
        }
    }
}

void d64s_trim_padded_petscii_string(char* buffer, int32_t length) {
    for (int32_t i = length - 1; i >= 0 && byte_at(buffer, i) == k_shifted_space; --i) {
        buffer[i] = '\0';
    }
}

void d64s_petscii_string_to_ascii(char* buffer, int32_t length) {
    for (int32_t i = 0; i < length; ++i) {
        // The zero test comes before bit 7 is cleared, so 0x80 does not end the text.
        if (byte_at(buffer, i) == 0) {
            return;
        }
        int c = byte_at(buffer, i) & 0x7F;
        if (c >= 'A' && c <= 'Z') {
            c += 'a' - 'A'; // PETSCII unshifted letters read as lower case
        } else if (c >= 'a' && c <= 'z') {
            c -= 'a' - 'A';
        } else if (c == 0x7F) {
            c = '?';
        }
        if (!std::isprint(c)) {
            c = k_dot;
        }
        buffer[i] = static_cast<char>(c);
    }
}

void d64s_quote_petscii_filename(char* destination, const char* source) {
    int32_t out = 0;
    int32_t in = 0;
    destination[out++] = '"';
    while (in < k_name_length && byte_at(source, in) != 0 &&
           byte_at(source, in) != k_shifted_space) {
        destination[out++] = source[in++];
    }
    destination[out++] = '"';
    // After a shifted space inside the name, the rest of the field follows the quote
    // with bit 7 cleared; a zero byte (or 0x80) there ends the text.
    if (in < k_name_length && byte_at(source, in) == k_shifted_space) {
        for (++in; in < k_name_length; ++in) {
            destination[out++] = static_cast<char>(byte_at(source, in) & 0x7F);
        }
    }
    destination[out] = '\0';
}

bool d64_petscii_to_text(const char* field, int32_t length, d64_text_form form, char* text) {
    if (field == nullptr || text == nullptr || length < 1 || length > k_name_length) {
        return false;
    }
    char buffer[k_name_length + 1] = {};
    std::memcpy(buffer, field, static_cast<size_t>(length));
    if (form != D64_TEXT_PADDED) {
        d64s_normalize_petscii_string(buffer, length);
    }
    if (form == D64_TEXT_QUOTED) {
        // The listing's quotes close at the first shifted space left inside the name.
        char* shifted_space = static_cast<char*>(std::memchr(buffer, k_shifted_space, length));
        if (shifted_space != nullptr) {
            *shifted_space = '\0';
        }
    }
    d64s_petscii_string_to_ascii(buffer, length);
    std::memcpy(text, buffer, std::strlen(buffer) + 1);
    return true;
}
