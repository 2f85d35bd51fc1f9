#include "images/BackupFile.h"

#include "common/ByteOrder.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QTimeZone>

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

constexpr std::array<std::uint8_t, 8> kMagic{'M', 'R', 'L', 'B', 'A', 'C', 'K', 0x1A};
constexpr std::size_t kChecksumSize = 32;  // SHA-256

// The header: the magic, the version, (from version 2) the date, the twelve
// numbers, the two fields, the user area's length.
constexpr std::size_t kDateSize = 8;
constexpr std::size_t kHeaderSizeVersion1 = 8 + 2 + 4 * 12 + 9 + 33 + 4;
constexpr std::size_t kHeaderSize = kHeaderSizeVersion1 + kDateSize;
static_assert(BackupFile::kMaxFileSize == kHeaderSize + BackupFile::kMaxUserAreaLength + kChecksumSize);

std::size_t HeaderSize(std::uint16_t version)
{
    return version == 1 ? kHeaderSizeVersion1 : kHeaderSize;
}

bool KnownVersion(std::uint16_t version)
{
    return version == 1 || version == BackupFile::kVersion;
}

QByteArray Sha256(std::span<const std::uint8_t> bytes)
{
    return QCryptographicHash::hash(
        QByteArrayView(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())),
        QCryptographicHash::Sha256);
}

class Writer {
public:
    void Bytes(std::span<const std::uint8_t> bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }
    void U16(std::uint16_t value) { Bytes(std::array{std::uint8_t(value), std::uint8_t(value >> 8)}); }
    void U32(std::uint32_t value)
    {
        U16(std::uint16_t(value));
        U16(std::uint16_t(value >> 16));
    }
    void I64(std::int64_t value)
    {
        U32(std::uint32_t(std::uint64_t(value)));
        U32(std::uint32_t(std::uint64_t(value) >> 32));
    }
    std::vector<std::uint8_t> out;
};

// Reads forward through bytes whose length was checked before.
class Reader {
public:
    explicit Reader(const std::uint8_t* at) : at(at) {}
    std::uint16_t U16()
    {
        const std::uint16_t value = std::uint16_t(at[0] | at[1] << 8);
        at += 2;
        return value;
    }
    std::uint32_t U32()
    {
        const std::uint32_t value = ByteOrder::Le32(at);
        at += 4;
        return value;
    }
    std::int64_t I64()
    {
        const std::uint64_t low = U32();
        return std::int64_t(low | std::uint64_t(U32()) << 32);
    }
    template <std::size_t N>
    void Bytes(std::array<std::uint8_t, N>& into)
    {
        std::memcpy(into.data(), at, N);
        at += N;
    }

private:
    const std::uint8_t* at;
};

BackupRead Refused(std::string why)
{
    return {std::nullopt, "Not a usable backup : " + why};
}

BackupRead Unreadable(const QIODevice& device)
{
    return {std::nullopt, device.errorString().toLocal8Bit().toStdString(), true};
}

// The whole size of the file that begins with `head`, as its header announces
// it; nothing when the head is no header of a backup this tool reads, or not
// all of one.
std::optional<std::size_t> AnnouncedSize(std::span<const std::uint8_t> head)
{
    if (head.size() < kMagic.size() + 2 || !std::equal(kMagic.begin(), kMagic.end(), head.begin()))
        return std::nullopt;
    Reader reader(head.data() + kMagic.size());
    const std::uint16_t version = reader.U16();
    if (!KnownVersion(version) || head.size() < HeaderSize(version))
        return std::nullopt;
    const std::uint32_t length = ByteOrder::Le32(head.data() + HeaderSize(version) - 4);
    if (length > BackupFile::kMaxUserAreaLength)
        return std::nullopt;
    return HeaderSize(version) + length + kChecksumSize;
}

// Reads from `device` until `bytes` holds `size` bytes or the device ends;
// false when a read fails.
bool ReadUpTo(QIODevice& device, std::vector<std::uint8_t>& bytes, std::size_t size)
{
    while (bytes.size() < size) {
        const std::size_t had = bytes.size();
        bytes.resize(size);
        const qint64 got = device.read(reinterpret_cast<char*>(bytes.data() + had), qint64(size - had));
        bytes.resize(had + std::size_t(std::max<qint64>(got, 0)));
        if (got <= 0)
            return got == 0;
    }
    return true;
}

}  // namespace

std::string BackupTimeText(std::int64_t secondsSinceEpoch)
{
    return QDateTime::fromSecsSinceEpoch(secondsSinceEpoch, QTimeZone::utc())
               .toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'"))
               .toStdString();
}

std::string BackupSummary(const MachineBackup& backup)
{
    // Blank as the flash holds it (0xFF), or as a readout keeps it (its first byte zero).
    const auto& field = backup.serialNumber;
    const auto end = std::find(field.begin(), field.end(), std::uint8_t(0));
    const bool blank = end == field.begin()
        || std::all_of(field.begin(), field.end() - 1, [](std::uint8_t byte) { return byte == 0xFF; });
    const QString serial = QString::fromLatin1(reinterpret_cast<const char*>(field.data()), qsizetype(end - field.begin()));
    std::string text = QString::asprintf("hard ident %08X, flash ident %08X, ", unsigned(backup.hardIdent),
                                         unsigned(backup.flashIdent))
                           .toStdString();
    text += blank ? std::string("no serial number") : "serial number \"" + serial.toStdString() + "\"";
    if (backup.takenAt)
        text += ", taken " + BackupTimeText(*backup.takenAt);
    return text;
}

std::vector<std::uint8_t> WriteBackup(const MachineBackup& backup)
{
    Writer writer;
    writer.Bytes(kMagic);
    writer.U16(BackupFile::kVersion);
    writer.I64(backup.takenAt.value_or(0));
    for (const std::uint32_t value :
         {backup.hardIdent, backup.flashIdent, backup.hardwareVersion, backup.hardwareOptions, backup.miniBootVersion,
          backup.programLoaderVersion, backup.mainBootVersion, backup.program1Version, backup.program2Version,
          backup.userAreaAddress, backup.userAreaLength, backup.eraseStep})
        writer.U32(value);
    writer.Bytes(backup.serialNumber);
    writer.Bytes(backup.machineName);
    writer.U32(std::uint32_t(backup.userArea.size()));
    writer.Bytes(backup.userArea);
    const QByteArray checksum = Sha256(writer.out);
    writer.Bytes({reinterpret_cast<const std::uint8_t*>(checksum.data()), std::size_t(checksum.size())});
    return writer.out;
}

BackupRead ReadBackup(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < kMagic.size() || !std::equal(kMagic.begin(), kMagic.end(), bytes.begin()))
        return Refused("not a backup file");
    if (bytes.size() < kMagic.size() + 2)
        return Refused("the file is cut short");
    Reader reader(bytes.data() + kMagic.size());
    const std::uint16_t version = reader.U16();
    if (!KnownVersion(version))
        return Refused("format version " + std::to_string(version) + ", this tool reads versions 1 and "
                       + std::to_string(BackupFile::kVersion));
    const std::size_t headerSize = HeaderSize(version);
    if (bytes.size() < headerSize + kChecksumSize)
        return Refused("the file is cut short");

    MachineBackup backup;
    if (version >= 2)
        backup.takenAt = reader.I64();
    for (std::uint32_t* field :
         {&backup.hardIdent, &backup.flashIdent, &backup.hardwareVersion, &backup.hardwareOptions,
          &backup.miniBootVersion, &backup.programLoaderVersion, &backup.mainBootVersion, &backup.program1Version,
          &backup.program2Version, &backup.userAreaAddress, &backup.userAreaLength, &backup.eraseStep})
        *field = reader.U32();
    reader.Bytes(backup.serialNumber);
    reader.Bytes(backup.machineName);
    const std::uint32_t length = reader.U32();
    if (length > BackupFile::kMaxUserAreaLength)
        return Refused("its user area is larger than any machine's");
    const std::size_t expected = headerSize + length + kChecksumSize;
    if (bytes.size() < expected)
        return Refused("the file is cut short");
    if (bytes.size() > expected)
        return Refused("bytes follow its end");
    const auto body = bytes.first(headerSize + length);
    const QByteArray checksum = Sha256(body);
    if (!std::equal(checksum.begin(), checksum.end(), reinterpret_cast<const char*>(bytes.data() + body.size())))
        return Refused("its checksum does not match its contents (the file is damaged)");
    if (length != backup.userAreaLength)
        return Refused("its user area's length does not match its header");
    backup.userArea.assign(body.begin() + std::ptrdiff_t(headerSize), body.end());
    return {std::move(backup), {}};
}

BackupRead ReadBackup(QIODevice& device)
{
    // The header and a checksum's length first: ReadBackup refuses these bytes
    // as it would the whole file, unless the header announces a backup.
    std::vector<std::uint8_t> bytes;
    if (!ReadUpTo(device, bytes, kHeaderSize + kChecksumSize))
        return Unreadable(device);
    if (const auto size = AnnouncedSize(bytes); size && !ReadUpTo(device, bytes, *size + 1))
        return Unreadable(device);
    return ReadBackup(bytes);
}

BackupRead ReadBackupFile(const std::string& path)
{
    QFile file(QString::fromLocal8Bit(path));
    // Unbuffered: a buffer would read ahead of what the header allows.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return Unreadable(file);
    return ReadBackup(file);
}
