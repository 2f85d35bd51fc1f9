#pragma once

#include "common/FlashMap.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// A user program (".tbu"): zones of bytes for the machine's user area, the
// offsets of the 24-bit addresses in them to relocate, the hardware and
// software versions, and a checksum over the data.
//
// File layout, 32-bit little-endian fields:
//   hardware, software version, Z, Z zone sizes, V, V vector offsets,
//   T data bytes (T = sum of the zone sizes), checksum.
// The checksum plus the sum of the T data bytes is 0 modulo 2^32. Bytes after
// the checksum are ignored.
//
// On top of the format, a load refuses a program that cannot be downloaded
// soundly: more than kMaxZones zones, more than kMaxVectors vectors or more
// data than the machine's 24-bit addresses reach (each refused as soon as its
// count is read, before anything is allocated for it), zone sizes summing
// past 32 bits, no data byte, or a vector whose three bytes do not lie inside
// the data.
struct UserImage {
    // The zone table (Z + 1 entries of 3 bytes) goes to flash in one
    // ProgramFlashBlock of at most 244 bytes: 80 * 3 + 3 = 243.
    static constexpr std::uint32_t kMaxZones = 80;
    static constexpr std::uint32_t kNoAddress = FlashMap::kErasedWord;
    // The whole 24-bit address space: no user area can hold more data.
    static constexpr std::uint32_t kMaxAddressableData = 0x1000000;
    // The relocation rewrites the three bytes at each vector: vectors that
    // do not share bytes fit that many times into the largest data.
    static constexpr std::uint32_t kMaxVectors = kMaxAddressableData / 3;

    // Bytes of the zone table for `zoneCount` zones: one 3-byte entry per
    // zone and the end marker. The program's data follows it in flash.
    static constexpr std::uint64_t ZoneTableSize(std::uint32_t zoneCount) { return 3 * std::uint64_t(zoneCount) + 3; }

    std::uint32_t hardware = 0;
    // Bits 16-23 major, 8-15 minor, 0-7 a letter; 24-31 unused.
    std::uint32_t softwareVersion = 0;
    std::uint32_t zoneCount = 0;               // Z as read
    std::vector<std::uint32_t> zoneSizes;      // in file order
    std::uint32_t vectorCount = 0;             // V as read
    std::vector<std::uint32_t> vectors;        // byte offsets into data, in file order
    std::uint32_t dataLength = 0;              // T
    // The working copy: relocated before each download, then written.
    std::vector<std::uint8_t> data;
    // Untouched copy of `data`, taken by LoadUserProgram after a successful load.
    std::vector<std::uint8_t> dataAsLoaded;
    // Flash address where data[0] is written; set before each download.
    std::uint32_t programBase = 0;
    // "File is ok : ..." or the error of the last load; empty before the first.
    std::string statusText;
    // True only after a load that passed every check. When false, the buffers
    // may be shorter than their counts: use them only when loaded.
    bool loaded = false;

    // The zone table for flash: for each zone its start address (programBase
    // plus the sizes of the zones before it), or kNoAddress for an empty zone;
    // then kNoAddress as end marker. Each entry 3 bytes, little-endian.
    std::vector<std::uint8_t> ZoneTable() const;

    // Frees the buffers (at exit); clears `loaded`.
    void Release();
};

// The process-wide user image, alive until the program ends.
// Only a program's entry reaches it, to hand it on in the ToolContext.
UserImage& TheUserImage();

// Reads the file at `path` (UTF-8; empty = cannot be opened) into the image.
// Never throws for a bad file: the outcome is left in statusText and loaded.
// A buffer this computer cannot allocate refuses the file too ("File too
// large for this computer : ..."). `dataAsLoaded` and `programBase` are left
// alone.
void LoadUserFile(const std::string& path, UserImage& image);
// The same for the contents of a file already in memory.
void LoadUserBytes(std::span<const std::uint8_t> bytes, UserImage& image);

// After a successful load: keeps an untouched copy of the data in
// dataAsLoaded, from which every download restores the image.
void KeepUserImageAsLoaded(UserImage& image);

// LoadUserFile, then, when the file passed, KeepUserImageAsLoaded: the user
// program's load in the table of file kinds.
void LoadUserProgram(const std::string& path, UserImage& image);
