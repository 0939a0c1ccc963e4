// Decryption of password-protected Paradox files, done by pxlib's own block routines when they are
// linked in (see cmake/PxlibCrypt.cmake).
#pragma once

#include <cstddef>
#include <cstdint>

namespace quorv {

// True when this build can decrypt; otherwise encrypted tables must be read through pxlib.
bool canDecryptParadox();
// Decrypts one .db data block in place (size a multiple of 256; block numbers count from 1).
void decryptTableBlock(uint8_t *block, size_t size, uint32_t key, int blockNumber);
// Decrypts a 256-byte-aligned span of a .mb file in place (size a multiple of 256).
void decryptBlobSpan(uint8_t *data, size_t size, uint32_t key);

} // namespace quorv
