// MD5 of a file's payload. This is the one source that hashes: it uses the
// init/update/final calls with the context on the stack, which OpenSSL 3 marks
// deprecated; the build silences that for this file only.
#include "chain.h"

#include <openssl/md5.h>

bool d64s_prg_file_update_md5(const uint8_t* sector, void* context) {
    const int32_t length = d64s_payload_length(sector);
    if (length > 0) {
        MD5_Update(static_cast<MD5_CTX*>(context), sector + k_payload_offset,
                   static_cast<size_t>(length));
    }
    return true;
}

bool d64_calculate_file_md5(const d64_disk* disk, const d64_dir_entry* entry, uint8_t* digest) {
    if (disk == nullptr || entry == nullptr) {
        return false;
    }
    MD5_CTX context;
    MD5_Init(&context);
    const bool walked = d64_file_sector_foreach(d64s_prg_file_update_md5, disk, entry, &context);
    MD5_Final(digest, &context);
    return walked;
}
