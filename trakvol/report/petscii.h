// Private conversion of PETSCII name fields into printable ASCII. Every function
// works in place on the caller's buffer and tests no pointer; lengths are positive.
#ifndef TRAKVOL_PETSCII_H
#define TRAKVOL_PETSCII_H

#include "trakvol.h"

#include <cstdint>

// Shifted space: pads disk and file names at their end.
inline constexpr uint8_t k_shifted_space = 0xA0;

// Longest quoted name: 16 name characters and two quotes.
inline constexpr int32_t k_quoted_name_length = 18;

// Turns trailing padding into terminators and carriage returns into dots:
// the three passes below, in this order.
void d64s_normalize_petscii_string(char* buffer, int32_t length);

// Trailing zero bytes become shifted spaces.
void d64s_substitute_zero_trailings_with_equivalent(char* buffer, int32_t length);

// Every `from` among the first `length` bytes becomes `to`.
void d64s_substitute_byte_with_another(char* buffer, uint8_t from, uint8_t to, int32_t length);

// Trailing shifted spaces become zero bytes.
void d64s_trim_padded_petscii_string(char* buffer, int32_t length);

// Converts up to the first zero byte to printable ASCII: bit 7 cleared, letter
// case swapped, 0x7F shown as '?', anything else unprintable shown as '.'.
void d64s_petscii_string_to_ascii(char* buffer, int32_t length);

// Builds the quoted form of a normalised 16-byte name into `destination` (at least
// k_quoted_name_length + 1 bytes): the part before the first shifted space in double
// quotes, the rest of the field after the closing quote.
void d64s_quote_petscii_filename(char* destination, const char* source);

// Converts `length` raw PETSCII bytes (zero bytes too) to UTF-8 into `text`, which
// holds D64_UTF8_BYTES_PER_CODE * length + 1 bytes; a terminator follows.
// @return the bytes written before the terminator.
int32_t d64s_petscii_to_utf8(const uint8_t* bytes, int32_t length, d64_charset set,
                             d64_controls controls, char* text);

// True when `set` and `controls` are values of their enums.
bool d64s_is_unicode_form(d64_charset set, d64_controls controls);

// How many leading bytes of a raw field the form shows, the same the ASCII forms
// show: up to the first zero byte; trimmed, the field's trailing padding (shifted
// spaces, then zero bytes) dropped before that; quoted, only the bytes before the
// first shifted space as well.
int32_t d64s_petscii_field_part(const char* field, int32_t length, d64_text_form form);

#endif // TRAKVOL_PETSCII_H
