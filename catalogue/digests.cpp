// The whole image's digests: MD5 and SHA-1 from GNU Nettle, CRC-32 from zlib (loaded
// when first needed).
#include "catalogue.h"
#include "ondemand.h"

// After the catalogue's names: Nettle's header makes md5_digest a macro of its own.
#include <nettle/md5.h>
#include <nettle/sha1.h>

#include <algorithm>

namespace catalogue {

image_digests digests_of(const std::uint8_t* bytes, std::size_t size) {
    image_digests digests;
    digests.size = size;
    md5_ctx md5;
    md5_init(&md5);
    md5_update(&md5, size, bytes);
    nettle_md5_digest(&md5, MD5_DIGEST_SIZE, digests.md5.data());
    sha1_ctx sha1;
    sha1_init(&sha1);
    sha1_update(&sha1, size, bytes);
    nettle_sha1_digest(&sha1, SHA1_DIGEST_SIZE, digests.sha1.data());
    // zlib's CRC-32 takes its length as a 32-bit count: longer input goes in pieces.
    // A run that needs it has loaded zlib before any image (see needs_crc32()).
    if (const ondemand::zlib_functions* zlib = ondemand::zlib_library(nullptr)) {
        uLong crc = zlib->crc32(0L, Z_NULL, 0);
        for (std::size_t done = 0; done < size;) {
            const auto piece = static_cast<uInt>(std::min<std::size_t>(size - done, 1U << 30));
            crc = zlib->crc32(crc, bytes + done, piece);
            done += piece;
        }
        digests.crc32 = static_cast<std::uint32_t>(crc);
    }
    return digests;
}

bool needs_crc32(std::string* message) {
    return ondemand::zlib_library(message) != nullptr;
}

} // namespace catalogue
