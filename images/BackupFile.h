#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

class QIODevice;

// A machine's user area kept in a file, with what the readout found in the
// machine when it was taken (doc/backup-format.md).
struct MachineBackup {
    std::uint32_t hardIdent = 0;
    std::uint32_t flashIdent = 0;
    std::uint32_t hardwareVersion = 0;
    std::uint32_t hardwareOptions = 0;
    std::array<std::uint8_t, 9> serialNumber{};  // as the factory data block holds them
    std::array<std::uint8_t, 33> machineName{};
    std::uint32_t miniBootVersion = 0;
    std::uint32_t programLoaderVersion = 0;
    std::uint32_t mainBootVersion = 0;
    std::uint32_t program1Version = 0;
    std::uint32_t program2Version = 0;
    std::uint32_t userAreaAddress = 0;
    std::uint32_t userAreaLength = 0;
    std::uint32_t eraseStep = 0;
    std::vector<std::uint8_t> userArea;  // userAreaLength bytes from userAreaAddress
    // When it was taken: seconds since 1970-01-01 UTC. None in a file of
    // format version 1, which had no date.
    std::optional<std::int64_t> takenAt;
};

namespace BackupFile {
// Version 2 added the date it was taken; version 1 files are read too.
constexpr std::uint16_t kVersion = 2;
// A user area larger than this is no machine's: a file that says so is refused.
constexpr std::uint32_t kMaxUserAreaLength = 0x1000000;
// The largest backup: its header, the largest user area, its checksum.
constexpr std::size_t kMaxFileSize = 112 + kMaxUserAreaLength + 32;
}  // namespace BackupFile

// What a backup holds, for a person: "hard ident 4D520001, flash ident
// 000122DA, serial number " SN-0042", taken 2026-12-10 14:03 UTC" (no
// serial number: "no serial number"; a version 1 file: no date). UTF-8.
std::string BackupSummary(const MachineBackup& backup);
// "2026-12-10 14:03 UTC" of seconds since 1970-01-01 UTC.
std::string BackupTimeText(std::int64_t secondsSinceEpoch);

// The file's bytes: header, user area, checksum.
std::vector<std::uint8_t> WriteBackup(const MachineBackup& backup);

// A backup read from a file's bytes, or why it is refused.
struct BackupRead {
    std::optional<MachineBackup> backup;
    std::string error;  // empty when read
    // The file could not be opened or read: `error` is the system's reason
    // ("No such file or directory"), not a refusal of its contents.
    bool unreadable = false;
};

// Refuses, with a text saying why, a file that is not a backup, one of
// another format version, one cut short or with bytes after its end, and one
// whose checksum does not match its contents.
BackupRead ReadBackup(std::span<const std::uint8_t> bytes);

// The same for the bytes `device` (open for reading, unbuffered) gives,
// never reading more of them than the header read first allows: at most
// BackupFile::kMaxFileSize and one byte more, to see bytes after the end. A
// file of any size, or a device without end (/dev/zero), is refused as
// ReadBackup refuses its first bytes. A read that fails: `unreadable`.
BackupRead ReadBackup(QIODevice& device);

// ReadBackup of the file at `path` (as the system names it); a file that
// cannot be opened or read: `unreadable`.
BackupRead ReadBackupFile(const std::string& path);
