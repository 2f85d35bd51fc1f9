#pragma once

// Shared by the loaders: a bounded little-endian reader over one file or over
// bytes in memory, the failure that a loader step raises.

#include "common/TextFormat.h"

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

// The failure of one loader step; its text becomes the image's statusText.
class LoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char* kUnableToOpen = "Unable to open file";
inline constexpr const char* kUnexpectedEnd = "Unexpected end of file";

// The most entries a table of a file can have for the machine to take it,
// and what its entries are called in the refusal ("zones").
struct CountLimit {
    std::uint32_t most;
    const char* what;
};

// Reads a regular file (or bytes in memory) front to back and knows how many
// bytes are left, so that a count taken from the file is compared with what
// the file can still hold before anything is allocated for it. Every read that
// comes up short raises LoadError("Unexpected end of file").
class FileReader {
public:
    // False for an empty path, a path that names no regular file, or a file
    // that cannot be opened for reading; OpenError() then says why. `path`
    // is UTF-8.
    bool Open(const std::string& path);
    // Why the last Open() failed ("No such file or directory", "Is a
    // directory" ...); empty after one that succeeded.
    const std::string& OpenError() const { return openError; }
    // Reads `bytes` as the contents of a file; they must outlive the reading.
    void OpenBytes(std::span<const std::uint8_t> bytes);
    void Close();

    std::uint64_t Remaining() const { return size - position; }

    std::uint8_t U8();
    std::uint32_t U24();  // 3 bytes, least significant first
    std::uint32_t U32();  // 4 bytes, least significant first
    void Bytes(std::uint8_t* into, std::size_t count);
    // All `count` bytes, or false when fewer are left (those are consumed).
    bool TryBytes(std::uint8_t* into, std::size_t count);

    // Releases the old contents of `table`, then reads `count` 32-bit values
    // into it. A count larger than the rest of the file allocates nothing. A
    // count that the rest of the file holds but that is more than
    // `limit.most` raises LoadError("Too many zones : 81 (80 at most)") and
    // allocates nothing either. An allocation that fails raises
    // LoadError("File too large for this computer : ...").
    void Table(std::vector<std::uint32_t>& table, std::uint32_t count, CountLimit limit);
    // The same for `count` bytes. A count that the rest of the file holds but
    // that is more than `addressable`, the bytes the machine can take, raises
    // LoadError("File too large : ..., more than the machine can address")
    // and allocates nothing either.
    void Block(std::vector<std::uint8_t>& block, std::uint32_t count, std::uint32_t addressable);

private:
    void Require(std::uint64_t byteCount) const;
    bool IsOpen() const { return inMemory || file.is_open(); }

    std::ifstream file;
    std::span<const std::uint8_t> memory;
    bool inMemory = false;
    std::uint64_t size = 0;
    std::uint64_t position = 0;
    std::string openError;
};

// Why the file at `path` cannot be opened for reading, as FileReader::Open
// finds it now; empty when it can. The loaders' own text for such a file is
// kUnableToOpen: a front end adds this, with the file's name, where it can.
std::string FileOpenFailure(const std::string& path);

// For tests: while one lives, FileReader::Table and FileReader::Block take an
// allocation of more than `bytes` as failed (std::bad_alloc), as on a computer
// short of memory. Linux promises memory it does not have, so a real failure
// cannot be brought about reliably. Not for use by the tool itself.
class AllocationLimitForTests {
public:
    explicit AllocationLimitForTests(std::uint64_t bytes);
    ~AllocationLimitForTests();
    AllocationLimitForTests(const AllocationLimitForTests&) = delete;
    AllocationLimitForTests& operator=(const AllocationLimitForTests&) = delete;

private:
    std::uint64_t previous;
};
