#pragma once

#include "common/FlashMap.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// A factory image (".tbf"): the flash addresses to erase first, the bytes
// written to flash from 0xD00000 upwards, and the two identities of the
// hardware the image is for.
//
// File layout, 32-bit little-endian fields:
//   hard ident, flash ident, N, N erase vectors, M, M image bytes.
// Bytes after the image are ignored. More erase vectors than the machine has
// addresses, and an image that would run past its 24-bit addresses, are
// refused as soon as their count is read, before anything is allocated.
struct FactoryImage {
    static constexpr std::uint32_t kFlashAddress = FlashMap::kFactoryAreaAddress;  // where image[0] goes
    // From kFlashAddress to the last 24-bit address, 0xFFFFFF.
    static constexpr std::uint32_t kMaxImageLength = 0x1000000 - kFlashAddress;
    // One for each 24-bit address: more repeat one.
    static constexpr std::uint32_t kMaxEraseVectors = 0x1000000;

    std::uint32_t hardIdent = 0;
    std::uint32_t flashIdent = 0;
    std::uint32_t eraseVectorCount = 0;        // N as read
    std::vector<std::uint32_t> eraseVectors;   // in file order
    std::uint32_t imageLength = 0;             // M as read
    std::vector<std::uint8_t> image;
    // "File is ok : ..." or the error of the last load; empty before the first.
    std::string statusText;
    // True only after a load that read the whole layout. When false, the
    // buffers may be shorter than their counts: use them only when loaded.
    bool loaded = false;

    // Frees both buffers (at exit); clears `loaded`.
    void Release();
};

// The process-wide factory image, alive until the program ends.
// Only a program's entry reaches it, to hand it on in the ToolContext.
FactoryImage& TheFactoryImage();

// Reads the file at `path` (UTF-8; empty = cannot be opened) into the image.
// Never throws for a bad file: the outcome is left in statusText and loaded.
// A buffer this computer cannot allocate refuses the file too ("File too
// large for this computer : ...").
void LoadFactoryFile(const std::string& path, FactoryImage& image);
// The same for the contents of a file already in memory.
void LoadFactoryBytes(std::span<const std::uint8_t> bytes, FactoryImage& image);
