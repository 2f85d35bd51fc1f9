// "load" and "save": their dialogs, the folder they start in, and what a
// failing write leaves behind.
#include "console/ConsoleFiles.h"
#include "support/OwnedTargets.h"
#include "support/ScriptedPrompts.h"
#include "images/SymbolTable.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QSettings>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using testing::StartsWith;

namespace {

std::string Stored(const char* name)
{
    return QSettings("Orvane", "Quorvex").value(name).toString().toStdString();
}

std::string FileText(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path;
    return file.readAll().toStdString();
}

class ConsoleFilesTest : public testing::Test {
protected:
    void SetUp() override { QSettings("Orvane", "Quorvex").clear(); }

    TestFiles files;
    ScriptedPrompts prompts;
    OwnedTargets loads;
    SymbolTable& symbols = loads.symbols;
    ConsoleFiles console{prompts, loads.Targets()};
};

TEST_F(ConsoleFilesTest, LoadAsksForASymbolFileAndRemembersItsFolder)
{
    const std::string path = files.Put("mainprog.tfs", SymbolFileBytes({{"start", "main", "", 0x40, 0x401}}));
    QSettings("Orvane", "Quorvex").setValue("Prog2Dir", "/symbols/here/");
    prompts.AnswerFile(path);
    EXPECT_EQ(console.LoadSymbols(), "File loaded");
    EXPECT_EQ(symbols.FindSymbol("start"), 0);
    ASSERT_EQ(prompts.asked.size(), 1u);
    const OpenFileQuestion& dialog = prompts.asked[0].open;
    EXPECT_EQ(dialog.title, "Open Tessel file symbol");
    ASSERT_EQ(dialog.filters.size(), 1u);
    EXPECT_STREQ(dialog.filters[0].description, "tessel symbol(*.tfs)");
    EXPECT_STREQ(dialog.filters[0].pattern, "*.tfs");
    EXPECT_EQ(dialog.presetName, "mainprog.tfs");
    EXPECT_EQ(dialog.defaultSuffix, "var");
    EXPECT_TRUE(dialog.fileMustExist);
    EXPECT_EQ(dialog.initialFolder, "/symbols/here/");
    EXPECT_EQ(Stored("Prog2Dir"), files.Folder() + "/");

    // Cancelled: nothing changes. Without the setting, the last folder stays.
    QSettings("Orvane", "Quorvex").remove("Prog2Dir");
    prompts.CancelFile();
    EXPECT_EQ(console.LoadSymbols(), "");
    EXPECT_EQ(prompts.asked[1].open.initialFolder, files.Folder() + "/");
    EXPECT_EQ(Stored("Prog2Dir"), "");
    EXPECT_EQ(symbols.Count(), 1u);

    prompts.AnswerFile(files.Path("vanished.tfs"));
    EXPECT_EQ(console.LoadSymbols(), "File not loaded");
    EXPECT_EQ(symbols.Count(), 0u);
}

TEST_F(ConsoleFilesTest, SaveWritesTheTextAsItIsAndReplacesAnOldLog)
{
    const std::string path = files.Put("console.log", FileBytes(5000, 'o'));
    const std::string text = "100\r\nread  _y 0x000100 = 0x000000 (0)\r\n\xe9t\xe9\r\n";
    prompts.AnswerFile(path);
    EXPECT_EQ(console.SaveLog(text), "");
    EXPECT_EQ(FileText(path), text);
    ASSERT_EQ(prompts.asked.size(), 1u);
    const SaveFileQuestion& dialog = prompts.asked[0].save;
    EXPECT_EQ(dialog.title, "Save log file");
    ASSERT_EQ(dialog.filters.size(), 1u);
    EXPECT_STREQ(dialog.filters[0].description, "Log file (*.log)");
    EXPECT_STREQ(dialog.filters[0].pattern, "*.log");
    EXPECT_EQ(dialog.defaultSuffix, "log");
    EXPECT_TRUE(dialog.replaceWithoutAsking);

    prompts.CancelFile();
    EXPECT_EQ(console.SaveLog("other"), "");
    EXPECT_EQ(prompts.asked[1].save.initialFolder, files.Folder() + "/");
    EXPECT_EQ(FileText(path), text);
}

// A save that cannot be done is told in an error box, never in the
// console, and leaves what was there as it was: a folder that does not
// exist, a FIFO (never replaced by a plain file), a disk that fills up.
TEST_F(ConsoleFilesTest, ASaveThatFailsSaysWhyInAnErrorBoxAndLeavesTheOldLogWhole)
{
    const auto lastError = [this] {
        EXPECT_EQ(prompts.asked.back().kind, ScriptedPrompts::Kind::Error);
        return prompts.asked.back().text;
    };
    const std::string missing = files.Path("no-such-folder/console.log");
    prompts.AnswerFile(missing);
    EXPECT_EQ(console.SaveLog("text\r\n"), "");
    EXPECT_THAT(lastError(), StartsWith("Log file not saved : " + missing + ": "));

    const std::string fifo = files.Path("fifo.log");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    prompts.AnswerFile(fifo);
    EXPECT_EQ(console.SaveLog("text\r\n"), "");
    EXPECT_EQ(lastError(), "Log file not saved : " + fifo + ": not a regular file; give a file name");
    struct stat status{};
    ASSERT_EQ(stat(fifo.c_str(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));

    // The disk fills up half-way: files of this process may not grow past 100 bytes.
    const std::string path = files.Put("old.log", FileBytes{'o', 'l', 'd'});
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit small{100, limit.rlim_max};
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    prompts.AnswerFile(path);
    const std::string full = console.SaveLog(std::string(1000, 'n'));
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(full, "");
    EXPECT_EQ(lastError(), "Log file not saved : " + path + ": " + qt_error_string(EFBIG).toStdString());
    EXPECT_EQ(FileText(path), "old");
    EXPECT_EQ(QDir(QString::fromStdString(files.Folder())).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

}  // namespace
