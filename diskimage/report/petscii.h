// Private conversion of PETSCII name fields into printable ASCII. Every function
// works in place on the caller's buffer and tests no pointer; lengths are positive.
#ifndef TRAKVOL_PETSCII_H
#define TRAKVOL_PETSCII_H

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

#endif // TRAKVOL_PETSCII_H
