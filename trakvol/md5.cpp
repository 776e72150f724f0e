// MD5 of a file's payload, with GNU Nettle's MD5: a small library that loads in a
// fraction of the time a general one takes, which a program run once per image feels.
#include "chain.h"

#include <nettle/md5.h>

bool d64s_prg_file_update_md5(const uint8_t* sector, void* context) {
    const int32_t length = d64s_payload_length(sector);
    if (length > 0) {
        md5_update(static_cast<md5_ctx*>(context), static_cast<size_t>(length),
                   sector + k_payload_offset);
    }
    return true;
}

bool d64_calculate_file_md5(const d64_disk* disk, const d64_dir_entry* entry, uint8_t* digest) {
    if (disk == nullptr || entry == nullptr) {
        return false;
    }
    md5_ctx context;
    md5_init(&context);
    const bool walked = d64_file_sector_foreach(d64s_prg_file_update_md5, disk, entry, &context);
    md5_digest(&context, MD5_DIGEST_SIZE, digest);
    return walked;
}
