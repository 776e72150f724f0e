#include "petscii.h"
#include "trakvol.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

// The conversion of one non-zero byte, from the table of PETSCII ranges.
char expected_ascii(int byte) {
    const auto in = [byte](int low, int high) { return byte >= low && byte <= high; };
    if (in(0x01, 0x1F) || in(0x80, 0x9F))
        return '.';
    if (in(0x20, 0x40) || in(0x5B, 0x60) || in(0x7B, 0x7E))
        return static_cast<char>(byte);
    if (in(0xA0, 0xC0) || in(0xDB, 0xE0) || in(0xFB, 0xFE))
        return static_cast<char>(byte - 0x80);
    if (in(0x41, 0x5A))
        return static_cast<char>(byte + 0x20);
    if (in(0xC1, 0xDA))
        return static_cast<char>(byte - 0x60);
    if (in(0x61, 0x7A))
        return static_cast<char>(byte - 0x20);
    if (in(0xE1, 0xFA))
        return static_cast<char>(byte - 0xA0);
    return '?'; // 0x7F and 0xFF
}

std::string field(std::initializer_list<int> bytes, size_t length = 16, int pad = 0xA0) {
    std::string text(length + 3, '\0');
    std::fill(text.begin(), text.begin() + static_cast<long>(length), static_cast<char>(pad));
    size_t i = 0;
    for (int b : bytes)
        text[i++] = static_cast<char>(b);
    return text;
}

std::string text_of(const std::string& buffer) {
    return std::string(buffer.c_str());
}

// Normalise, quote and convert: the file name as the directory listing prints it.
std::string listed_name(std::string name) {
    d64s_normalize_petscii_string(name.data(), 16);
    char quoted[k_quoted_name_length + 1];
    d64s_quote_petscii_filename(quoted, name.c_str());
    d64s_petscii_string_to_ascii(quoted, k_quoted_name_length);
    return quoted;
}

} // namespace

TEST(petscii, every_byte_converts_to_printable_ascii) {
    for (int byte = 1; byte < 256; ++byte) {
        std::string buffer{static_cast<char>(byte), 'A', '\0'};
        d64s_petscii_string_to_ascii(buffer.data(), 2);
        EXPECT_EQ(buffer[0], expected_ascii(byte)) << "byte " << byte;
        EXPECT_EQ(buffer[1], 'a');
    }
}

TEST(petscii, zero_ends_the_text_and_the_rest_stays) {
    std::string buffer = field({0x41, 0x42, 0x43, 0x00, 0xC1}, 16, 0x41);
    d64s_petscii_string_to_ascii(buffer.data(), 16);
    EXPECT_EQ(text_of(buffer), "abc");
    EXPECT_EQ(buffer[4], '\xC1');
}

TEST(petscii, normalising_clears_padding_and_dots_carriage_returns) {
    struct row {
        std::string in;
        std::string normalised; // up to the first zero byte
    };
    const row rows[] = {
        {field({0x44, 0x45, 0x4D, 0x4F}), "DEMO"},
        {field({0x44, 0x45, 0x4D, 0x4F}, 16, 0), "DEMO"},
        {field({0x44, 0x45, 0x4D, 0x4F, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0}, 16, 0), "DEMO"},
        {field({}), ""},
        {field({}, 16, 0), ""},
        {field({0x41, 0x0D, 0x42}), "A.B"},
        {field({0x41, 0xA0, 0x42}), "A\xA0"
                                    "B"},
        {field({0x41, 0x42, 0xA0, 0x32, 0x41}, 5), "AB\xA0"
                                                   "2A"},
        {field({0x41, 0x42}, 5), "AB"},
    };
    for (const row& r : rows) {
        std::string buffer = r.in;
        const int length = r.in.size() == 19 ? 16 : 5;
        d64s_normalize_petscii_string(buffer.data(), length);
        EXPECT_EQ(text_of(buffer), r.normalised);
        EXPECT_EQ(buffer.find_first_not_of('\0', r.normalised.size()), std::string::npos);
    }
}

TEST(petscii, quoted_names_as_listed) {
    struct row {
        std::string name;
        std::string listed;
    };
    const row rows[] = {
        {field({0x44, 0x45, 0x4D, 0x4F}), "\"demo\""},
        {field({0x44, 0x45, 0x4D, 0x4F}, 16, 0), "\"demo\""},
        {field({}), "\"\""},
        {field({}, 16, 0), "\"\""},
        {field({0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E,
                0x4F, 0x50}),
         "\"abcdefghijklmnop\""},
        {field({0x44, 0x45, 0x4D, 0x4F, 0xA0, 0x2C, 0x38, 0x31}), "\"demo\",81"},
        {field({0xA0, 0x58}), "\"\"x"},
        {field({0x41, 0xA0, 0x42, 0xA0, 0x43}), "\"a\"b c"},
        {field({0x41, 0x42, 0x43, 0x00, 0x44}), "\"abc\""},
        {field({0x41, 0x80, 0x42}), "\"a.b\""},
        {field({0x41, 0xA0, 0x42, 0x80, 0x43}), "\"a\"b"},
        {field({0x41, 0x0D}), "\"a.\""},
    };
    for (const row& r : rows) {
        EXPECT_EQ(listed_name(r.name), r.listed);
        // The public conversion gives what stands between the listing's quotes.
        char text[17];
        ASSERT_TRUE(d64_petscii_to_text(r.name.data(), 16, D64_TEXT_QUOTED, text));
        EXPECT_EQ(text, r.listed.substr(1, r.listed.find('"', 1) - 1));
    }
}

TEST(petscii, public_text_forms) {
    struct row {
        std::string field;
        int length;
        d64_text_form form;
        std::string text;
    };
    const row rows[] = {
        {field({0x44, 0x45, 0x4D, 0x4F}), 16, D64_TEXT_PADDED, "demo            "},
        {field({0x44, 0x45, 0x4D, 0x4F}, 16, 0), 16, D64_TEXT_PADDED, "demo"},
        {field({0x44, 0x0D, 0xA0, 0x31}), 16, D64_TEXT_PADDED, "d. 1            "},
        {field({0x44, 0x45, 0x4D, 0x4F, 0xA0, 0x2C, 0x38, 0x31}), 16, D64_TEXT_TRIMMED, "demo ,81"},
        {field({0x41, 0x42, 0xA0, 0x32, 0x41}, 5), 5, D64_TEXT_TRIMMED, "ab 2a"},
        {field({0x41, 0x42}, 5), 5, D64_TEXT_TRIMMED, "ab"},
    };
    for (const row& r : rows) {
        char text[17];
        ASSERT_TRUE(d64_petscii_to_text(r.field.data(), r.length, r.form, text));
        EXPECT_EQ(text, r.text);
    }
    EXPECT_FALSE(d64_petscii_to_text(rows[0].field.data(), 17, D64_TEXT_PADDED, nullptr));
}

namespace {

std::string utf8(char32_t glyph) {
    std::string text;
    if (glyph < 0x80) {
        text += static_cast<char>(glyph);
    } else if (glyph < 0x800) {
        text += static_cast<char>(0xC0 | (glyph >> 6));
        text += static_cast<char>(0x80 | (glyph & 0x3F));
    } else if (glyph < 0x10000) {
        text += static_cast<char>(0xE0 | (glyph >> 12));
        text += static_cast<char>(0x80 | ((glyph >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (glyph & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (glyph >> 18));
        text += static_cast<char>(0x80 | ((glyph >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((glyph >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (glyph & 0x3F));
    }
    return text;
}

std::string unicode_of(uint8_t code, d64_charset set, d64_controls controls) {
    const char field[1] = {static_cast<char>(code)};
    char text[D64_UTF8_BYTES_PER_CODE + 1];
    int32_t columns = 0;
    EXPECT_TRUE(d64_petscii_to_utf8(field, 1, D64_TEXT_PADDED, set, controls, text, &columns));
    EXPECT_EQ(columns, 1);
    return text;
}

} // namespace

// Anchors of the two sets: ASCII, the letters, the arrows and pound, the graphics of
// the Symbols for Legacy Computing, the copies at 0xC0-0xFE and the choice at 0xFF.
TEST(petscii, unicode_anchors_of_both_sets) {
    struct row {
        uint8_t code;
        char32_t upper, lower;
    };
    const row rows[] = {
        {0x20, U' ', U' '},       {0x31, U'1', U'1'},         {0x40, U'@', U'@'},
        {0x41, U'A', U'a'},       {0x5A, U'Z', U'z'},         {0x5C, U'£', U'£'},
        {0x5E, U'↑', U'↑'},       {0x5F, U'←', U'←'},         {0x60, U'─', U'─'},
        {0x61, U'♠', U'A'},       {0x62, 0x1FB72, U'B'},      {0x6A, U'╰', U'J'},
        {0x71, U'●', U'Q'},       {0x7A, U'♦', U'Z'},         {0x7B, U'┼', U'┼'},
        {0x7C, 0x1FB8C, 0x1FB8C}, {0x7E, U'π', 0x1FB96},      {0x7F, U'◥', 0x1FB98},
        {0xA0, 0x00A0, 0x00A0},   {0xA6, U'▒', U'▒'},         {0xA9, U'◤', 0x1FB99},
        {0xBA, 0x1FB7F, U'✓'},    {0xBF, U'▚', U'▚'},         {0xC1, U'♠', U'A'},
        {0xDE, U'π', 0x1FB96},    {0xE0, 0x00A0, 0x00A0},     {0xE9, U'◤', 0x1FB99},
        {0xFE, U'▘', U'▘'},       {0xFF, U'π', 0x1FB96},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(static_cast<int>(r.code));
        EXPECT_EQ(unicode_of(r.code, D64_CHARSET_UPPER, D64_CONTROLS_REPLACED), utf8(r.upper));
        EXPECT_EQ(unicode_of(r.code, D64_CHARSET_LOWER, D64_CONTROLS_REPLACED), utf8(r.lower));
    }
}

// Control codes: the code itself, U+FFFD, or the quote-mode glyph (code + 0x40) reversed.
TEST(petscii, unicode_control_codes) {
    struct row {
        uint8_t code;
        d64_charset set;
        d64_controls controls;
        std::string text;
    };
    const row rows[] = {
        {0x0D, D64_CHARSET_UPPER, D64_CONTROLS_AS_CODES, "\r"},
        {0x85, D64_CHARSET_UPPER, D64_CONTROLS_AS_CODES, utf8(0x85)},
        {0x0D, D64_CHARSET_UPPER, D64_CONTROLS_REPLACED, utf8(0xFFFD)},
        {0x0D, D64_CHARSET_UPPER, D64_CONTROLS_REVERSED, "\x1b[7mM\x1b[27m"},
        {0x0D, D64_CHARSET_LOWER, D64_CONTROLS_REVERSED, "\x1b[7mm\x1b[27m"},
        {0x93, D64_CHARSET_UPPER, D64_CONTROLS_REVERSED, "\x1b[7m" + utf8(U'♥') + "\x1b[27m"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(static_cast<int>(r.code));
        EXPECT_EQ(unicode_of(r.code, r.set, r.controls), r.text);
    }
    char text[D64_UTF8_BYTES_PER_CODE * 16 + 1];
    EXPECT_FALSE(d64_petscii_to_utf8("A", 1, D64_TEXT_PADDED, D64_CHARSET_UPPER,
                                     static_cast<d64_controls>(3), text, nullptr));
    EXPECT_FALSE(d64_petscii_to_utf8("A", 17, D64_TEXT_PADDED, D64_CHARSET_UPPER,
                                     D64_CONTROLS_AS_CODES, text, nullptr));
}

// The whole of both sets against the Unicode Consortium's mapping files: every code
// is the file's glyph or the alternative its comment names. 0xFF differs on purpose:
// it shows as 0xDE does, as a C64 prints it.
TEST(petscii, unicode_sets_follow_the_published_mappings) {
    for (const auto& [file, set] : {std::pair{"C64IPRI.TXT", D64_CHARSET_UPPER},
                                    std::pair{"C64IALT.TXT", D64_CHARSET_LOWER}}) {
        SCOPED_TRACE(file);
        std::ifstream in(std::string(FLOPPEEK_CHARSET_DIR) + "/" + file);
        ASSERT_TRUE(in) << "no mapping file";
        int codes = 0;
        for (std::string line; std::getline(in, line);) {
            if (line.empty() || line[0] == '#' || line[0] == '\r') {
                continue;
            }
            std::istringstream fields(line);
            unsigned code = 0;
            unsigned glyph = 0;
            fields >> std::hex >> code >> glyph;
            const size_t alternative_at = line.find("(or 0x");
            const unsigned alternative =
                alternative_at == std::string::npos
                    ? glyph
                    : static_cast<unsigned>(std::stoul(line.substr(alternative_at + 4), nullptr, 16));
            SCOPED_TRACE(line);
            const std::string shown = unicode_of(static_cast<uint8_t>(code), set,
                                                 D64_CONTROLS_AS_CODES);
            if (code == 0xFF) {
                EXPECT_EQ(shown, unicode_of(0xDE, set, D64_CONTROLS_AS_CODES));
            } else {
                EXPECT_TRUE(shown == utf8(glyph) || shown == utf8(alternative));
            }
            ++codes;
        }
        EXPECT_EQ(codes, 192); // 0x20-0x7F and 0xA0-0xFF
    }
}

// The Unicode forms show exactly the part of a field the ASCII forms show.
TEST(petscii, unicode_shows_the_part_ascii_shows) {
    struct row {
        std::string field;
        d64_text_form form;
        std::string ascii;
        std::string unicode; // upper set
    };
    const row rows[] = {
        {field({0x41, 0xA0, 0x00, 0x42}), D64_TEXT_TRIMMED, "a ", "A\u00A0"},
        {field({0x41, 0xA0, 0x00, 0x42}), D64_TEXT_QUOTED, "a", "A"},
        {field({0x41, 0xA0, 0x00}, 16, 0), D64_TEXT_TRIMMED, "a", "A"},
        {field({0x41, 0xA0, 0x42}), D64_TEXT_TRIMMED, "a b", "A\u00A0B"},
        {field({0x41, 0xA0, 0x42}, 16, 0x20), D64_TEXT_PADDED, "a b             ",
         "A\u00A0B             "},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.ascii);
        char ascii[17];
        ASSERT_TRUE(d64_petscii_to_text(r.field.data(), 16, r.form, ascii));
        EXPECT_EQ(ascii, r.ascii);
        char text[D64_UTF8_BYTES_PER_CODE * 16 + 1];
        int32_t columns = 0;
        ASSERT_TRUE(d64_petscii_to_utf8(r.field.data(), 16, r.form, D64_CHARSET_UPPER,
                                        D64_CONTROLS_AS_CODES, text, &columns));
        EXPECT_EQ(text, r.unicode);
        EXPECT_EQ(columns, static_cast<int32_t>(r.ascii.size()));
    }
}
