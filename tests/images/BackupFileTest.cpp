// The backup file: written and read back as it was; a file that is damaged,
// cut short, of another version or no backup at all refused with its reason.

#include "images/BackupFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QIODevice>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

MachineBackup Sample()
{
    MachineBackup backup;
    backup.hardIdent = 0x4D520001;
    backup.flashIdent = 0x000122DA;
    backup.hardwareVersion = 0x010200;
    backup.hardwareOptions = 0x000003;
    backup.serialNumber = {'S', 'N', '-', '4', '2', 0, 0xFF, 0xFF, 0xFF};
    backup.machineName.fill(0xFF);
    backup.miniBootVersion = 0x010341;
    backup.programLoaderVersion = 0x012042;
    backup.mainBootVersion = 0x020041;
    backup.program1Version = 0x020143;
    backup.program2Version = 0x010041;
    backup.userAreaAddress = 0xD20000;
    backup.userAreaLength = 1000;
    backup.eraseStep = 0x10000;
    for (int i = 0; i < 1000; ++i)
        backup.userArea.push_back(std::uint8_t(i < 700 ? i : 0xFF));
    return backup;
}

TEST(BackupFileTest, ReadsBackWhatWasWritten)
{
    const MachineBackup backup = Sample();
    const auto bytes = WriteBackup(backup);
    const BackupRead read = ReadBackup(bytes);
    ASSERT_TRUE(read.backup) << read.error;
    EXPECT_EQ(WriteBackup(*read.backup), bytes);
    EXPECT_EQ(read.backup->userArea, backup.userArea);
    EXPECT_EQ(read.backup->serialNumber, backup.serialNumber);
    EXPECT_EQ(read.backup->program1Version, 0x020143u);
}

TEST(BackupFileTest, RefusesWhatIsNoUsableBackup)
{
    struct Case {
        const char* what;
        std::function<void(std::vector<std::uint8_t>&)> spoil;
        const char* reason;
    };
    const Case cases[] = {
        {"a byte of the user area changed", [](auto& b) { b[500] ^= 0x10; }, "(the file is damaged)"},
        {"its checksum changed", [](auto& b) { b.back() ^= 0x01; }, "(the file is damaged)"},
        {"cut in its user area", [](auto& b) { b.resize(600); }, "the file is cut short"},
        {"cut in its header", [](auto& b) { b.resize(40); }, "the file is cut short"},
        {"cut after its magic", [](auto& b) { b.resize(9); }, "the file is cut short"},
        {"a byte more", [](auto& b) { b.push_back(0); }, "bytes follow its end"},
        {"empty", [](auto& b) { b.clear(); }, "not a backup file"},
        {"another file", [](auto& b) { b[0] = 'X'; }, "not a backup file"},
        {"version 3", [](auto& b) { b[8] = 3; }, "format version 3, this tool reads versions 1 and 2"},
        {"a huge user area", [](auto& b) { b[108] = b[109] = b[110] = b[111] = 0xFF; },
         "its user area is larger than any machine's"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto bytes = WriteBackup(Sample());
        c.spoil(bytes);
        const BackupRead read = ReadBackup(bytes);
        EXPECT_FALSE(read.backup);
        EXPECT_THAT(read.error, testing::StartsWith("Not a usable backup : "));
        EXPECT_THAT(read.error, testing::HasSubstr(c.reason));
    }
}

// A file of format version 1, which had no date, is read as it always was.
TEST(BackupFileTest, AVersion1FileReadsWithoutItsDate)
{
    MachineBackup sample = Sample();
    sample.takenAt = 1'765'000'000;
    std::vector<std::uint8_t> bytes = WriteBackup(sample);
    const BackupRead read = ReadBackup(bytes);
    ASSERT_TRUE(read.backup) << read.error;
    EXPECT_EQ(read.backup->takenAt, sample.takenAt);

    bytes.erase(bytes.begin() + 10, bytes.begin() + 18);  // the date
    bytes[8] = 1;
    bytes.resize(bytes.size() - 32);
    const QByteArray checksum = QCryptographicHash::hash(
        QByteArrayView(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())), QCryptographicHash::Sha256);
    bytes.insert(bytes.end(), checksum.begin(), checksum.end());
    const BackupRead old = ReadBackup(bytes);
    ASSERT_TRUE(old.backup) << old.error;
    EXPECT_FALSE(old.backup->takenAt);
    EXPECT_EQ(old.backup->userArea, sample.userArea);
    EXPECT_EQ(old.backup->serialNumber, sample.serialNumber);
}

// `head`, then `filler` bytes without end, as /dev/zero gives them; counts
// what is read.
class EndlessDevice final : public QIODevice {
public:
    EndlessDevice(std::vector<std::uint8_t> head, char filler) : head(std::move(head)), filler(filler)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }
    std::uint64_t given = 0;

protected:
    qint64 readData(char* into, qint64 size) override
    {
        for (qint64 i = 0; i < size; ++i, ++given)
            into[i] = given < head.size() ? char(head[given]) : filler;
        return size;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    std::vector<std::uint8_t> head;
    char filler;
};

// A header whose user area is `length` bytes long: the first 112 bytes of a
// backup of that area.
std::vector<std::uint8_t> HeaderOf(std::uint32_t length)
{
    MachineBackup backup = Sample();
    backup.userAreaLength = length;
    backup.userArea.clear();
    std::vector<std::uint8_t> bytes = WriteBackup(backup);
    bytes.resize(112);
    for (int i = 0; i < 4; ++i)
        bytes[108 + i] = std::uint8_t(length >> (8 * i));
    return bytes;
}

TEST(BackupFileTest, ReadsNoMoreThanItsHeaderAllows)
{
    struct Case {
        const char* what;
        std::vector<std::uint8_t> head;
        char filler;
        const char* reason;
        std::uint64_t mostRead;
    };
    std::vector<std::uint8_t> version3 = HeaderOf(16);
    version3[8] = 3;
    const Case cases[] = {
        {"zeros", {}, '\0', "not a backup file", 144},
        {"a header of another version", version3, '\0', "format version 3, this tool reads versions 1 and 2", 144},
        {"a header of a user area too large", HeaderOf(BackupFile::kMaxUserAreaLength + 1), '\0',
         "its user area is larger than any machine's", 144},
        {"the largest header", HeaderOf(BackupFile::kMaxUserAreaLength), '\xFF', "bytes follow its end",
         BackupFile::kMaxFileSize + 1},
        {"a small header", HeaderOf(16), '\xFF', "bytes follow its end", 112 + 16 + 32 + 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EndlessDevice device(c.head, c.filler);
        const BackupRead read = ReadBackup(device);
        EXPECT_FALSE(read.backup);
        EXPECT_FALSE(read.unreadable);
        EXPECT_EQ(read.error, std::string("Not a usable backup : ") + c.reason);
        EXPECT_LE(device.given, c.mostRead);
    }
}

// A file read by its path; one that cannot be opened or read is told apart
// from one that is no backup.
TEST(BackupFileTest, FilesByTheirPaths)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString backup = folder.filePath("machine.mbk");
    {
        const std::vector<std::uint8_t> bytes = WriteBackup(Sample());
        QFile file(backup);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())), qint64(bytes.size()));
    }
    struct Case {
        std::string path;
        std::string error;  // empty: read
        bool unreadable;
    };
    const Case cases[] = {
        {backup.toStdString(), "", false},
        {"/dev/zero", "Not a usable backup : not a backup file", false},
        {folder.filePath("missing.mbk").toStdString(), "No such file or directory", true},
        {folder.path().toStdString(), "file to open is a directory", true},
        {"/proc/self/mem", "Input/output error", true},  // its first page is never mapped
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const BackupRead read = ReadBackupFile(c.path);
        EXPECT_EQ(read.error, c.error);
        EXPECT_EQ(bool(read.backup), c.error.empty());
        EXPECT_EQ(read.unreadable, c.unreadable);
    }
}

}  // namespace
