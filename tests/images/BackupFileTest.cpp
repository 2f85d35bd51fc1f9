// The backup file: written and read back as it was; a file that is damaged,
// cut short, of another version or no backup at all refused with its reason.

#include "images/BackupFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

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
        {"version 2", [](auto& b) { b[8] = 2; }, "format version 2, this tool reads version 1"},
        {"a huge user area", [](auto& b) { b[100] = b[101] = b[102] = b[103] = 0xFF; },
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

}  // namespace
