#include "source/paradox_crypt.h"

#if QUORV_HAVE_PX_CRYPT
extern "C" {
void px_decrypt_db_block(unsigned char *src, unsigned char *dest, unsigned long encryption,
                         unsigned long blocksize, unsigned long blockno);
void px_decrypt_mb_block(unsigned char *src, unsigned char *dest, unsigned long encryption,
                         unsigned long blocksize);
}
#endif

namespace quorv {

#if QUORV_HAVE_PX_CRYPT
bool canDecryptParadox() {
    return true;
}
void decryptTableBlock(uint8_t *block, size_t size, uint32_t key, int blockNumber) {
    px_decrypt_db_block(block, block, key, size, static_cast<unsigned long>(blockNumber));
}
void decryptBlobSpan(uint8_t *data, size_t size, uint32_t key) {
    px_decrypt_mb_block(data, data, key, size);
}
#else
bool canDecryptParadox() {
    return false;
}
void decryptTableBlock(uint8_t *, size_t, uint32_t, int) {}
void decryptBlobSpan(uint8_t *, size_t, uint32_t) {}
#endif

} // namespace quorv
