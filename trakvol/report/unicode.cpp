// PETSCII to Unicode (UTF-8): the glyphs of the C64's two character sets, after the
// Unicode Consortium's mapping of them, which uses the Symbols for Legacy Computing
// (U+1FB70-1FB99) where no older character fits.
#include "petscii.h"
#include "report.h"
#include "trakvol.h"

#include <array>
#include <cstring>

namespace {

// The uppercase/graphics set at 0x20-0x7F and 0xA0-0xBF.
constexpr char32_t k_upper_20_7f[96] = {
    // 0x20: punctuation and digits as in ASCII
    0x0020, 0x0021, 0x0022, 0x0023, 0x0024, 0x0025, 0x0026, 0x0027, 0x0028, 0x0029, 0x002A, 0x002B,
    0x002C, 0x002D, 0x002E, 0x002F, 0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,
    // 0x40: @, capitals, [ pound ] up-arrow left-arrow
    0x0040, 0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047, 0x0048, 0x0049, 0x004A, 0x004B,
    0x004C, 0x004D, 0x004E, 0x004F, 0x0050, 0x0051, 0x0052, 0x0053, 0x0054, 0x0055, 0x0056, 0x0057,
    0x0058, 0x0059, 0x005A, 0x005B, 0x00A3, 0x005D, 0x2191, 0x2190,
    // 0x60: lines, suits, arcs and eighth blocks
    0x2500, 0x2660, 0x1FB72, 0x1FB78, 0x1FB77, 0x1FB76, 0x1FB7A, 0x1FB71, 0x1FB74, 0x256E, 0x2570,
    0x256F, 0x1FB7C, 0x2572, 0x2571, 0x1FB7D, 0x1FB7E, 0x25CF, 0x1FB7B, 0x2665, 0x1FB70, 0x256D,
    0x2573, 0x25CB, 0x2663, 0x1FB75, 0x2666, 0x253C, 0x1FB8C, 0x2502, 0x03C0, 0x25E5};
constexpr char32_t k_upper_a0_bf[32] = {
    0x00A0,  0x258C,  0x2584,  0x2594, 0x2581,  0x258F, 0x2592, 0x2595, 0x1FB8F, 0x25E4, 0x1FB87,
    0x251C,  0x2597,  0x2514,  0x2510, 0x2582,  0x250C, 0x2534, 0x252C, 0x2524,  0x258E, 0x258D,
    0x1FB88, 0x1FB82, 0x1FB83, 0x2583, 0x1FB7F, 0x2596, 0x259D, 0x2518, 0x2598,  0x259A};

// The lowercase set differs at the letters (0x41-0x5A small, 0x61-0x7A capital), at
// 0x7E-0x7F, 0xA9 and 0xBA, and at their copies.
struct difference {
    uint8_t code;
    char32_t glyph;
};
constexpr difference k_lower_differences[] = {
    {0x7E, 0x1FB96}, {0x7F, 0x1FB98}, {0xA9, 0x1FB99}, {0xBA, 0x2713}};

// All 256 codes of one set. 0xC0-0xDF show as 0x60-0x7F, 0xE0-0xFE as 0xA0-0xBE.
// 0xFF shows as 0xDE does, which is what a C64 prints (the published mapping gives
// it the glyph of 0xBF instead). Control codes (0x00-0x1F, 0x80-0x9F) get the glyph a
// C64 shows for them in quote mode, in reverse: that of the code plus 0x40.
constexpr std::array<char32_t, 256> make_set(bool lower) {
    std::array<char32_t, 256> set{};
    for (int code = 0x20; code < 0x80; ++code) {
        set[code] = k_upper_20_7f[code - 0x20];
    }
    for (int code = 0xA0; code < 0xC0; ++code) {
        set[code] = k_upper_a0_bf[code - 0xA0];
    }
    if (lower) {
        for (int code = 0x41; code <= 0x5A; ++code) {
            set[code] = static_cast<char32_t>(code + 0x20);
            set[code + 0x20] = static_cast<char32_t>(code);
        }
        for (const difference& change : k_lower_differences) {
            set[change.code] = change.glyph;
        }
    }
    for (int code = 0xC0; code < 0xE0; ++code) {
        set[code] = set[code - 0x60];
    }
    for (int code = 0xE0; code < 0xFF; ++code) {
        set[code] = set[code - 0x40];
    }
    set[0xFF] = set[0xDE];
    for (int code = 0x00; code < 0x20; ++code) {
        set[code] = set[code + 0x40];
        set[code + 0x80] = set[code + 0xC0];
    }
    return set;
}

constexpr std::array<char32_t, 256> k_sets[2] = {make_set(false), make_set(true)};

constexpr char32_t k_replacement = 0xFFFD;

bool is_control(uint8_t code) {
    return (code & 0x7F) < 0x20;
}

char* put_utf8(char* out, char32_t glyph) {
    if (glyph < 0x80) {
        *out++ = static_cast<char>(glyph);
    } else if (glyph < 0x800) {
        *out++ = static_cast<char>(0xC0 | (glyph >> 6));
        *out++ = static_cast<char>(0x80 | (glyph & 0x3F));
    } else if (glyph < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (glyph >> 12));
        *out++ = static_cast<char>(0x80 | ((glyph >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (glyph & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (glyph >> 18));
        *out++ = static_cast<char>(0x80 | ((glyph >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((glyph >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (glyph & 0x3F));
    }
    return out;
}

// Terminal escapes around a reversed glyph.
constexpr char k_reverse_on[] = "\033[7m";
constexpr char k_reverse_off[] = "\033[27m";

} // namespace

int32_t d64s_petscii_to_utf8(const uint8_t* bytes, int32_t length, d64_charset set,
                             d64_controls controls, char* text) {
    // One code is at most the two escapes and a 4-byte glyph.
    static_assert(sizeof k_reverse_on - 1 + 4 + sizeof k_reverse_off - 1 <=
                  D64_UTF8_BYTES_PER_CODE);
    char* out = text;
    for (int32_t i = 0; i < length; ++i) {
        const uint8_t code = bytes[i];
        if (!is_control(code)) {
            out = put_utf8(out, k_sets[set][code]);
        } else if (controls == D64_CONTROLS_AS_CODES) {
            out = put_utf8(out, code);
        } else if (controls == D64_CONTROLS_REPLACED) {
            out = put_utf8(out, k_replacement);
        } else {
            out = std::strcpy(out, k_reverse_on) + sizeof k_reverse_on - 1;
            out = put_utf8(out, k_sets[set][code]);
            out = std::strcpy(out, k_reverse_off) + sizeof k_reverse_off - 1;
        }
    }
    *out = '\0';
    return static_cast<int32_t>(out - text);
}

int32_t d64s_petscii_field_part(const char* field, int32_t length, d64_text_form form) {
    int32_t end = length;
    if (form != D64_TEXT_PADDED) {
        // The padding at the field's end, shifted spaces and then zero bytes, is
        // dropped first; a zero byte before it still ends the text, so a shifted space
        // that stands before such a zero byte is shown.
        while (end > 0 && field[end - 1] == '\0') {
            --end;
        }
        while (end > 0 && static_cast<uint8_t>(field[end - 1]) == k_shifted_space) {
            --end;
        }
    }
    const void* zero = std::memchr(field, '\0', static_cast<size_t>(end));
    if (zero != nullptr) {
        end = static_cast<int32_t>(static_cast<const char*>(zero) - field);
    }
    if (form == D64_TEXT_QUOTED) {
        const void* shifted_space = std::memchr(field, k_shifted_space, static_cast<size_t>(end));
        if (shifted_space != nullptr) {
            end = static_cast<int32_t>(static_cast<const char*>(shifted_space) - field);
        }
    }
    return end;
}

bool d64s_is_unicode_form(d64_charset set, d64_controls controls) {
    return (set == D64_CHARSET_UPPER || set == D64_CHARSET_LOWER) &&
           (controls == D64_CONTROLS_AS_CODES || controls == D64_CONTROLS_REPLACED ||
            controls == D64_CONTROLS_REVERSED);
}

bool d64_petscii_to_utf8(const char* field, int32_t length, d64_text_form form, d64_charset set,
                         d64_controls controls, char* text, int32_t* columns) {
    if (field == nullptr || text == nullptr || length < 1 || length > k_name_length ||
        !d64s_is_unicode_form(set, controls)) {
        return false;
    }
    const int32_t part = d64s_petscii_field_part(field, length, form);
    d64s_petscii_to_utf8(reinterpret_cast<const uint8_t*>(field), part, set, controls, text);
    if (columns != nullptr) {
        *columns = part; // every code shows as one character
    }
    return true;
}
