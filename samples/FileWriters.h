#pragma once

// Writers of the four file kinds the tool reads. Each builds the complete
// bytes of one file from a plain description; WriteFileBytes puts them on
// disk. The writers check nothing: what they are given is written as given,
// so that tests can build broken files as easily as sound ones.
//
//   UserProgramContent user;
//   user.hardware = 0x012300;
//   user.softwareVersion = SoftwareVersion(1, 0x02, 'A');   // V1.02A
//   user.zoneSizes = {16, 32};
//   user.data.assign(48, 0x5A);
//   WriteFileBytes("prog.tbu", UserProgramBytes(user));

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

using FileBytes = std::vector<std::uint8_t>;

// Factory image ".tbf": hard ident, flash ident, N, N erase vectors,
// M = image.size(), the image. All fields 32-bit little-endian.
struct FactoryImageContent {
    std::uint32_t hardIdent = 0;
    std::uint32_t flashIdent = 0;
    std::vector<std::uint32_t> eraseVectors;
    std::vector<std::uint8_t> image;  // written to flash from FlashMap::kFactoryAreaAddress
};
FileBytes FactoryImageBytes(const FactoryImageContent& content);

// User program ".tbu": hardware, software version, Z = zoneSizes.size(), the
// zone sizes, V = vectors.size(), the vectors, the data, and a checksum that
// balances the data bytes (checksum + sum of data bytes = 0 modulo 2^32).
// `data` is written whole, whatever the zone sizes add up to: keep
// data.size() equal to their sum for a sound file.
struct UserProgramContent {
    std::uint32_t hardware = 0;
    std::uint32_t softwareVersion = 0;  // see SoftwareVersion
    std::vector<std::uint32_t> zoneSizes;
    std::vector<std::uint32_t> vectors;  // byte offsets into data of 24-bit addresses
    std::vector<std::uint8_t> data;      // the zones' bytes one after the other
};
FileBytes UserProgramBytes(const UserProgramContent& content);
// The checksum field that balances `data`.
std::uint32_t UserProgramChecksum(const std::vector<std::uint8_t>& data);
// Major in bits 16-23, minor in bits 8-15, the letter in bits 0-7.
constexpr std::uint32_t SoftwareVersion(std::uint8_t major, std::uint8_t minor, char letter)
{
    return std::uint32_t(major) << 16 | std::uint32_t(minor) << 8 | std::uint8_t(letter);
}

// Boot program ".tb": records in the order given. 24-bit values and words are
// written as 3 bytes little-endian.
struct BootRecord {
    static constexpr std::uint8_t kX = 0x00, kY = 0x01, kP = 0x02, kRun = 0xFE, kEnd = 0xFF;

    std::uint8_t type = kEnd;
    std::uint32_t address = 0;          // start of P data, or the run address
    std::vector<std::uint32_t> words;   // P data; its count is words.size()

    static BootRecord PData(std::uint32_t start, std::vector<std::uint32_t> words)
    {
        return {kP, start, std::move(words)};
    }
    static BootRecord RunAddress(std::uint32_t address) { return {kRun, address, {}}; }
    static BootRecord End() { return {kEnd, 0, {}}; }
    // Any other type, X and Y included: the type byte alone.
    static BootRecord TypeOnly(std::uint8_t type) { return {type, 0, {}}; }
};
struct BootProgramContent {
    std::vector<BootRecord> records;  // add End() yourself
};
FileBytes BootProgramBytes(const BootProgramContent& content);
// The usual boot program: one P record at `start`, run address `start`, end.
FileBytes BootProgramBytes(std::uint32_t start, const std::vector<std::uint32_t>& words);

// Symbol file ".tfs": 112 bytes per symbol, no header. Each name field holds
// 32 bytes: the name as given (case kept), zero-filled; a name of 32 bytes or
// more fills its field with its first 32 bytes and no zero byte.
struct SymbolContent {
    std::string symbolName;
    std::string innerQualifier;
    std::string outerQualifier;
    std::uint32_t symbolAddress = 0;
    std::uint32_t symbolFlags = 0;  // kind 1 entry, 2 int; space 0x100 X, 0x200 Y, 0x400 P
};
FileBytes SymbolFileBytes(const std::vector<SymbolContent>& symbols);

// Writes the bytes to `path` (UTF-8), replacing any file; false on failure.
bool WriteFileBytes(const std::string& path, const FileBytes& bytes);
