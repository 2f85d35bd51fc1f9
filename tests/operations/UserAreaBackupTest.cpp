// A machine's user area backed up and restored into another of its type on
// the machine model, and the restores refused before anything is erased.

#include "operations/backup/UserAreaBackup.h"
#include "operations/downloads/DownloadStarts.h"
#include "operations/readout/MachineInfo.h"
#include "operations/readout/MachinePanel.h"
#include "images/UserImage.h"
#include "procedures/FlashDownload.h"
#include "procedures/FlashReadBack.h"
#include "procedures/user/UserDownload.h"
#include "samples/FileWriters.h"
#include "samples/SampleSet.h"
#include "support/ModelClock.h"
#include "support/ModelFixture.h"

#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

namespace {

// A machine with the sample factory image and an erased user area.
struct SampleMachine : ModelLink {
    SampleMachine() : ModelLink({.eraseTime = std::chrono::milliseconds(1)})
    {
        const auto factory = SampleFactoryImage();
        EXPECT_TRUE(machine.ApplyImage(factory.eraseVectors, SampleLayout::kFactoryBase, factory.image));
    }

    std::string Run(Procedure& procedure)
    {
        std::string result;
        RunProcedure(procedure, result, ModelPacedRun(machine));
        return procedure.ResultText();
    }

    std::vector<std::string> PanelTexts()
    {
        MachineInfo info;
        ReadMachineInfo(link, info);
        std::vector<std::string> texts{info.statusText};
        for (const PanelRow& row : FillMachinePanel(info, false).rows)
            texts.push_back(row.caption + row.text);
        return texts;
    }
};

class UserAreaBackupTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        const auto path = folder.filePath("program.tbu").toStdString();
        ASSERT_TRUE(WriteFileBytes(path, UserProgramBytes(SampleUserProgram())));
        UserImage image;
        LoadUserProgram(path, image);
        ASSERT_TRUE(image.loaded) << image.statusText;
        MachineInfo info;
        auto download = StartUserDownload(source.link, info, image);
        ASSERT_TRUE(download.procedure) << download.text;
        ASSERT_EQ(source.Run(*download.procedure), "Done");

        ReadMachineInfo(source.link, info);
        FlashReadBack read(source.link, {{info.userAreaAddress, info.userAreaLength}});
        ASSERT_EQ(source.Run(read), "Done");
        backup = *ReadBackup(WriteBackup(BackupOf(info, read.Read().front().bytes))).backup;
    }

    QTemporaryDir folder;
    SampleMachine source;
    SampleMachine target;
    MachineBackup backup;
};

TEST_F(UserAreaBackupTest, ARestoredBackupReadsAsTheMachineItWasTakenFrom)
{
    EXPECT_EQ(backup.userAreaAddress, SampleLayout::kUserArea);
    EXPECT_EQ(backup.hardIdent, 0x4D520001u);
    EXPECT_NE(target.PanelTexts(), source.PanelTexts());

    MachineInfo info;
    const auto restore = StartRestore(target.link, info, backup);
    ASSERT_TRUE(restore.procedure) << restore.text;
    target.machine.ClearRequestLog();
    EXPECT_EQ(target.Run(*restore.procedure), "Done");

    // Only the blocks that are not all erased, none over 240 bytes.
    unsigned programmed = 0;
    for (const auto& request : target.machine.RequestLog()) {
        if (request.opcode == Command::kProgramFlashBlock) {
            ++programmed;
            EXPECT_LE(request.parameters[4], FlashDownload::kBlockSize);
        }
    }
    EXPECT_EQ(programmed, RestoreBlocks(backup.userAreaAddress, backup.userArea).size());
    EXPECT_LT(programmed, 20u);

    FlashVerify verify(target.link, dynamic_cast<const FlashDownload&>(*restore.procedure).WrittenSegments());
    EXPECT_EQ(target.Run(verify), "Verified");
    EXPECT_EQ(target.PanelTexts(), source.PanelTexts());
    EXPECT_EQ(target.machine.ReadFlash(backup.userAreaAddress, backup.userAreaLength), backup.userArea);
}

TEST_F(UserAreaBackupTest, RestoreRefusesAnotherMachineTypeOrUserAreaBeforeErasing)
{
    struct Case {
        const char* what;
        std::function<void(MachineBackup&)> change;
        ActionRefusal refusal;
        std::string text;
    };
    const Case cases[] = {
        {"hard ident", [](auto& b) { b.hardIdent = 0x4D520002; }, ActionRefusal::NotLoaded,
         "Backup of another machine type : hard ident 4D520002, flash ident 000122DA; this machine's are 4D520001 "
         "and 000122DA"},
        {"flash ident", [](auto& b) { b.flashIdent = 0x000122DB; }, ActionRefusal::NotLoaded,
         "Backup of another machine type : hard ident 4D520001, flash ident 000122DB; this machine's are 4D520001 "
         "and 000122DA"},
        {"user area length", [](auto& b) { b.userAreaLength = 0x20000; }, ActionRefusal::MachineRefused,
         "User area differs : the backup's is 0x20000 bytes at 0xD20000, this machine's 0x40000 bytes at 0xD20000"},
        {"user area address", [](auto& b) { b.userAreaAddress = 0xD30000; }, ActionRefusal::MachineRefused,
         "User area differs : the backup's is 0x40000 bytes at 0xD30000, this machine's 0x40000 bytes at 0xD20000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MachineBackup changed = backup;
        c.change(changed);
        MachineInfo info;
        target.machine.ClearRequestLog();
        const auto restore = StartRestore(target.link, info, changed);
        EXPECT_FALSE(restore.procedure);
        EXPECT_EQ(restore.refusal, c.refusal);
        EXPECT_EQ(restore.text, c.text);
        for (const auto& request : target.machine.RequestLog())
            EXPECT_NE(request.opcode, Command::kEraseFlash);
    }
}

// A restore cut short at its first, middle or last block (here by a
// block the machine refuses) leaves no zone table: the readout after it
// shows no user program, never the backed-up program over missing data.
TEST_F(UserAreaBackupTest, ARestoreCutShortLeavesNoProgramToRead)
{
    const auto blocks = RestoreBlocks(backup.userAreaAddress, backup.userArea).size();
    ASSERT_GE(blocks, 3u);
    for (const unsigned nth : {1u, unsigned(blocks / 2), unsigned(blocks)}) {
        SCOPED_TRACE(nth);
        MachineInfo info;
        const auto restore = StartRestore(target.link, info, backup);
        ASSERT_TRUE(restore.procedure) << restore.text;
        target.machine.InjectFault({.kind = FaultKind::ProgramStatus, .nth = nth, .status = 0x42});
        EXPECT_EQ(target.Run(*restore.procedure), "bad status while programming : 0x42");
        target.machine.ClearFaults();
        ReadMachineInfo(target.link, info);
        EXPECT_EQ(info.statusText, "Done");
        EXPECT_FALSE(info.mainInfoRead);
    }
}

// An erase that answers done but leaves the old bytes: the blocks the
// restore wrote read back right, the rest of the area does not.
TEST_F(UserAreaBackupTest, TheVerifyAfterARestoreComparesTheWholeUserArea)
{
    constexpr std::uint32_t kLeftOver = SampleLayout::kUserArea + 0x10100;
    target.Put(kLeftOver, {0x12, 0x34});
    MachineInfo info;
    const auto restore = StartRestore(target.link, info, backup);
    ASSERT_TRUE(restore.procedure) << restore.text;
    target.machine.InjectFault({.kind = FaultKind::EraseStatus, .nth = 2, .status = 0});
    ASSERT_EQ(target.Run(*restore.procedure), "Done");

    FlashVerify verify(target.link, {RestoredUserArea(backup)});
    EXPECT_EQ(target.Run(verify), "Verify failed at 0xD30100 : wrote 0xFF, read 0x12");
}

}  // namespace
