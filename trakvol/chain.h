// Private visitors of the file chain walk, one per operation built on it.
#ifndef TRAKVOL_CHAIN_H
#define TRAKVOL_CHAIN_H

#include "trakvol.h"

#include <cstdint>

// Offset of the first payload byte in a data sector; bytes 0 and 1 are the link.
inline constexpr int32_t k_payload_offset = 2;

// Payload length of a data sector: 254 unless it is the last one (link track 0),
// which carries byte 1 - 1 bytes. Byte 1 = 0 gives -1.
int32_t d64s_payload_length(const uint8_t* sector);

// Context: int32_t sector counter. Adds 1.
bool d64s_prg_file_bump_sector_count(const uint8_t* sector, void* context);
// Context: int32_t byte total. Adds the payload length, -1 included.
bool d64s_prg_file_add_size_bytes(const uint8_t* sector, void* context);
// Context: Nettle's md5_ctx. Feeds the payload; a negative length feeds nothing.
bool d64s_prg_file_update_md5(const uint8_t* sector, void* context);
// Context: FILE*. Writes the payload; false when the stream refused a byte.
bool d64s_prg_file_export(const uint8_t* sector, void* context);

#endif // TRAKVOL_CHAIN_H
