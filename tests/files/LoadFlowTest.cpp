// The "Load" flow of the file panels and the console: the dialog asked
// through the prompts, the folder remembered per kind of file, the loader's
// verdict handed back.

#include "files/LoadFlow.h"
#include "support/ScriptedPrompts.h"
#include "link/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <gtest/gtest.h>

namespace {

class LoadFlowTest : public testing::Test {
protected:
    void SetUp() override { QSettings("Orvane", "Quorvex").clear(); }

    // A flow whose loader accepts files ending in "good.tbu" and records the paths it was given.
    LoadFlow Flow(FileKind kind)
    {
        return LoadFlow(kind, [this](const std::string& path) {
            loaded.push_back(path);
            const bool good = path.ends_with("good.tbu");
            return LoadResult{.statusText = good ? "File is ok : fine" : "Unable to open file", .loaded = good};
        });
    }

    static std::string Setting(const std::string& name)
    {
        std::string value = "(missing)";
        ReadSetting(name, value);
        return value;
    }

    ScriptedPrompts prompts;
    std::vector<std::string> loaded;
};

TEST_F(LoadFlowTest, CancelChangesNothing)
{
    LoadFlow flow = Flow(FileKind::User);
    prompts.CancelFile();
    const FileLoad load = flow.Load(prompts);
    EXPECT_FALSE(load.chosen);
    EXPECT_TRUE(loaded.empty());
    EXPECT_EQ(Setting("UserDir"), "(missing)");

    ASSERT_EQ(prompts.asked.size(), 1u);
    const OpenFileQuestion& question = prompts.asked[0].open;
    EXPECT_EQ(question.title, "Open Tessel user program file");
    ASSERT_EQ(question.filters.size(), 2u);
    EXPECT_STREQ(question.filters[0].description, "Tessel user program (*.tbu)");
    EXPECT_STREQ(question.filters[1].pattern, "*.*");
    EXPECT_EQ(question.defaultSuffix, "tbu");
    EXPECT_TRUE(question.fileMustExist);
    EXPECT_EQ(question.initialFolder, "");
}

TEST_F(LoadFlowTest, TheChosenFoldersAreRememberedPerKindAcrossARestart)
{
    {
        LoadFlow user = Flow(FileKind::User);
        prompts.AnswerFile("/data/programs/good.tbu");
        const FileLoad load = user.Load(prompts);
        EXPECT_TRUE(load.chosen);
        EXPECT_EQ(load.path, "/data/programs/good.tbu");
        EXPECT_EQ(load.statusText, "File is ok : fine");
        EXPECT_TRUE(load.loaded);
        EXPECT_EQ(Setting("UserDir"), "/data/programs/");

        prompts.AnswerFile("/data/other/bad.tbu");
        EXPECT_FALSE(user.Load(prompts).loaded);
        EXPECT_EQ(prompts.asked[1].open.initialFolder, "/data/programs/");
        // A cancel after a choice keeps the dialog where it was.
        prompts.CancelFile();
        user.Load(prompts);
        EXPECT_EQ(prompts.asked[2].open.initialFolder, "/data/other/");
    }
    LoadFlow factory = Flow(FileKind::Factory);
    prompts.CancelFile();
    factory.Load(prompts);
    EXPECT_EQ(prompts.asked[3].open.title, "Open factory image file");
    EXPECT_EQ(prompts.asked[3].open.initialFolder, "");  // its own folder, not the user panel's

    LoadFlow restarted = Flow(FileKind::User);
    prompts.CancelFile();
    restarted.Load(prompts);
    EXPECT_EQ(prompts.asked[4].open.initialFolder, "/data/other/");
    EXPECT_EQ(prompts.unanswered, 0);
    EXPECT_EQ(loaded, (std::vector<std::string>{"/data/programs/good.tbu", "/data/other/bad.tbu"}));
}

}  // namespace

namespace {

TEST_F(LoadFlowTest, SettingsThatCannotBeReadOrStoredAreShownAndTheFileIsLoadedAllTheSame)
{
    QSettings("Orvane", "Quorvex").setValue("UserDir", QStringList{"/a", "/b"});
    LoadFlow flow = Flow(FileKind::User);
    prompts.AnswerFile("/data/good.tbu");
    const FileLoad read = flow.Load(prompts);
    EXPECT_TRUE(read.loaded);
    ASSERT_EQ(prompts.asked.size(), 2u);
    EXPECT_EQ(prompts.asked[0].text, "Invalid data type for 'UserDir'");
    EXPECT_EQ(prompts.asked[1].open.initialFolder, "");

    // A file where the store's folder should be: nothing can be written there.
    const QString store = QSettings("Orvane", "Quorvex").fileName();
    const QString folder = QFileInfo(store).absolutePath();
    QDir(folder).removeRecursively();
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    prompts.AnswerFile("/other/good.tbu");
    const FileLoad stored = Flow(FileKind::User).Load(prompts);
    QFile::remove(folder);
    EXPECT_TRUE(stored.loaded);
    EXPECT_EQ(loaded.back(), "/other/good.tbu");
    EXPECT_EQ(prompts.asked.back().text, "Failed to set data for 'UserDir'");
}

}  // namespace
