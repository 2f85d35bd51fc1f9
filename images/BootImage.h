#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// A boot program (".tb"): typed records of P memory words and a run address.
//
// Each record starts with a type byte; 24-bit values are 3 bytes little-endian:
//   0x02 P data: start, count, count words of 3 bytes
//   0xFE run address: address (the last one counts)
//   0xFF end: nothing is read after it
// X (0x00) and Y (0x01) records and every other type are refused.
struct BootImage {
    static constexpr std::uint32_t kWordCount = 4096;  // P addresses 0 .. 4095
    static constexpr std::size_t kWordBytes = 3;

    // P memory image, 3 bytes per word as they stand in the file; empty until
    // the first load, then kWordCount * kWordBytes bytes, zeroed by every load.
    std::vector<std::uint8_t> pWords;
    // One flag (0 or 1) per P address filled by the current file; empty until
    // the first load, then kWordCount flags, cleared by every load.
    std::vector<std::uint8_t> pLoaded;
    std::uint32_t runAddress = 0;  // of the last run address record
    std::uint32_t endAddress = 0;  // one past the highest loaded address; set on success
    // "File is ok : ..." or the error of the last load; empty before the first.
    std::string statusText;
    bool loaded = false;  // true only after a load that passed every rule

    // Frees both buffers (at exit); clears `loaded`.
    void Release();
};

// The process-wide boot image, alive until the program ends.
// Only a program's entry reaches it, to hand it on in the ToolContext.
BootImage& TheBootImage();

// Reads the file at `path` (UTF-8; empty = cannot be opened) into the image.
// Never throws for a bad file: the outcome is left in statusText and loaded.
// After a successful load pWords holds the program at runAddress ..
// endAddress - 1 (gaps hold zero words) and runAddress is the lowest address.
void LoadBootFile(const std::string& path, BootImage& image);
// The same for the contents of a file already in memory.
void LoadBootBytes(std::span<const std::uint8_t> bytes, BootImage& image);
