// The console and its watch windows on the offscreen platform: what the
// windows add to the interpreter (the Enter key and the caret, the text with
// CR LF at its edges, hiding, watches), and the watch window's square, labels,
// timer and menu.

#include "console/ui/EmulForm.h"
#include "console/ui/WatchForm.h"
#include "WindowsFixture.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QFile>
#include <QFrame>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

const QColor kLime(0, 255, 0), kAqua(0, 255, 255), kRed(255, 0, 0), kYellow(255, 255, 0), kBlack(0, 0, 0);

class EmulFormTest : public testing::Test {
protected:
    void SetUp() override
    {
        ClearSettings();
        w.m.link.OpenPort(PortAddress::OfDevice("/dev/mirelle-model"));
        w.Find<QAction>("EmulatorMenu")->trigger();
        memo = Console().findChild<QPlainTextEdit*>("Memo");
        ASSERT_TRUE(memo);
    }
    TEmulForm& Console() { return *w.windows.console; }
    void Type(const QString& text)
    {
        QTest::keyClicks(memo, text);
        QTest::keyClick(memo, Qt::Key_Return);
    }
    void PutCaret(int position)
    {
        QTextCursor cursor = memo->textCursor();
        cursor.setPosition(position);
        memo->setTextCursor(cursor);
    }
    bool CaretAtEnd() const { return memo->textCursor().position() == memo->document()->characterCount() - 1; }

    ModelWindows w{true};
    QPlainTextEdit* memo = nullptr;
};

TEST_F(EmulFormTest, ShownFromTheMenuAndHiddenByClosing)
{
    EXPECT_TRUE(Console().isVisible());
    EXPECT_FALSE(Console().isModal());
    EXPECT_EQ(Console().windowTitle(), "Emulator");
    EXPECT_EQ(Console().size(), QSize(453, 422));
    EXPECT_TRUE(QFontInfo(memo->font()).fixedPitch());
    EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_FALSE(Console().findChild<QPushButton*>("ReturnButton")->isVisible());

    Type("default _x");
    Console().close();
    EXPECT_FALSE(Console().isVisible());
    w.Find<QAction>("EmulatorMenu")->trigger();
    EXPECT_TRUE(Console().isVisible());
    EXPECT_EQ(memo->toPlainText(), "default _x\n");
    Type("");  // the last command again: no output, nothing appended
    EXPECT_EQ(memo->toPlainText(), "default _x\n");
    Type("0");  // the defaults were kept
    EXPECT_EQ(memo->toPlainText(), "default _x\n0\nread  _x 0x000000 = 0x000000 (0)\n");
}

TEST_F(EmulFormTest, EnterRunsTheLineUnderTheCaretAndAppendsAtTheEnd)
{
    w.m.machine.SetMemoryWord(1, 0x100, 0x1234);
    Type("100");
    const QString read = "read  _y 0x000100 = 0x001234 (4660)\n";
    EXPECT_EQ(memo->toPlainText(), "100\n" + read);
    EXPECT_TRUE(CaretAtEnd());

    // An empty line repeats the last command.
    QTest::keyClick(memo, Qt::Key_Enter);
    EXPECT_EQ(memo->toPlainText(), "100\n" + read + read);
    EXPECT_TRUE(CaretAtEnd());

    // A command on an earlier line runs whole, wherever the caret is in it;
    // its line stays as it was.
    w.m.machine.SetMemoryWord(1, 0x100, 5);
    QTest::keyClick(memo, Qt::Key_Return);  // still the read, on the empty last line
    PutCaret(1);
    QTest::keyClick(memo, Qt::Key_Return);
    EXPECT_EQ(memo->toPlainText(),
              "100\n" + read + read + "read  _y 0x000100 = 0x000005 (5)\n" + "read  _y 0x000100 = 0x000005 (5)\n");
    EXPECT_TRUE(CaretAtEnd());

    // An output that ends with a line break is followed by an empty line;
    // Tab types a tab.
    memo->clear();
    QTest::keyClicks(memo, "100");
    QTest::keyClick(memo, Qt::Key_Tab);
    QTest::keyClicks(memo, "map 1");
    QTest::keyClick(memo, Qt::Key_Return);
    EXPECT_EQ(memo->toPlainText(), "100\tmap 1\nmap  _y 0x000100\n 0x000005 0x000000 0x000000 0x000000\n\n");
}

TEST_F(EmulFormTest, SaveWritesTheTextWithCrLfAndClearEmptiesIt)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("console.log");
    Type("100");
    QTest::keyClicks(memo, "save");
    const QString shown = memo->toPlainText();
    w.prompts.AnswerFile(path.toStdString());
    QTest::keyClick(memo, Qt::Key_Return);
    QFile log(path);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll(), QString(shown).replace("\n", "\r\n").toLatin1());
    EXPECT_EQ(memo->toPlainText(), shown + "\n");
    EXPECT_EQ(w.prompts.asked.back().caption, "Save log file");

    // The save cannot be written: said in the error box, nothing in the console.
    const std::string gone = folder.filePath("gone/console.log").toStdString();
    w.prompts.AnswerFile(gone);
    Type("save");
    EXPECT_THAT(memo->toPlainText().toStdString(), testing::EndsWith("\nsave\n"));
    EXPECT_EQ(w.prompts.asked.back().kind, ScriptedPrompts::Kind::Error);
    EXPECT_EQ(w.prompts.asked.back().text, "Log file not saved : " + gone + ": No such file or directory");

    Type("clear");
    EXPECT_EQ(memo->toPlainText(), "");
    EXPECT_TRUE(CaretAtEnd());
}

TEST_F(EmulFormTest, WatchOpensAWindowOfTheConsoleAndBringsTheConsoleBack)
{
    // The symbols are the context's.
    ASSERT_TRUE(w.objects.symbols.LoadSymbolFile(QUORVEX_SAMPLES_DIR "/mainprog.tfs"));
    Type("start watch 2 0");
    EXPECT_THAT(memo->toPlainText().toStdString(), testing::EndsWith("\nentry mainprog.main.start\nadd to watch\n"));
    const auto watches = Console().findChildren<TWatchForm*>();
    ASSERT_EQ(watches.size(), 1);
    EXPECT_EQ(watches[0]->windowTitle(), "mainprog.main.start");
    EXPECT_TRUE(watches[0]->isVisible());
    EXPECT_TRUE(Console().isVisible());
    Console().close();  // the watch stays open
    EXPECT_TRUE(watches[0]->isVisible());
}

// A watch window over the in-process machine, owned by a window of the test's.
class WatchFormTest : public testing::Test {
protected:
    TWatchForm* Open(const WatchOrder& order)
    {
        auto* watch = new TWatchForm(&owner, order, m.link);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(watch));
        return watch;
    }
    static QColor Square(TWatchForm* watch)
    {
        return watch->findChild<QFrame*>("ComShape")->palette().color(QPalette::Window);
    }
    static QString Values(TWatchForm* watch) { return watch->findChild<QLabel*>("ValueLabel")->text(); }
    static QTimer* Timer(TWatchForm* watch) { return watch->findChild<QTimer*>("Timer1"); }
    static void Choose(TWatchForm* watch, const char* item) { watch->findChild<QAction*>(item)->trigger(); }
    static bool WaitForValues(TWatchForm* watch)
    {
        return QTest::qWaitFor([&] { return !Values(watch).isEmpty(); }, 2000);
    }
    // A press of the mouse on the window as the window system delivers it,
    // at the centre of one of its widgets.
    static void DoubleClick(TWatchForm* watch, const char* child)
    {
        QWidget* target = watch->findChild<QWidget*>(child);
        QTest::mouseDClick(watch->windowHandle(), Qt::LeftButton, {}, target->mapTo(watch, target->rect().center()));
    }
    std::vector<unsigned> ReadCounts() const
    {
        std::vector<unsigned> counts;
        for (const auto& request : m.machine.RequestLog())
            if (request.opcode == Command::kReadMemory)
                counts.push_back(request.parameters.at(5));
        return counts;
    }

    ModelLink m;
    QWidget owner;
};

TEST_F(WatchFormTest, CaptionAddressLineAndFrame)
{
    TWatchForm* numeric = Open({.caption = "", .count = 1, .interval = 1000, .space = MemorySpace::X, .address = 0x100});
    EXPECT_EQ(numeric->windowTitle(), "Watch");
    EXPECT_EQ(numeric->findChild<QLabel*>("AddressLabel")->text(), "_x 0x000100 (1000 ms)");
    EXPECT_EQ(numeric->size(), QSize(208, 59));
    EXPECT_TRUE(numeric->windowFlags().testFlag(Qt::Tool));
    EXPECT_TRUE(numeric->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(numeric->parentWidget(), &owner);
    EXPECT_EQ(Square(numeric), kLime);
    EXPECT_EQ(Timer(numeric)->interval(), 1000);
    EXPECT_TRUE(Timer(numeric)->isActive());

    TWatchForm* symbol = Open({.caption = "mainprog.main.start", .count = 1, .interval = 5, .space = MemorySpace::P, .address = 0x40});
    EXPECT_EQ(symbol->windowTitle(), "mainprog.main.start");
    EXPECT_EQ(symbol->findChild<QLabel*>("AddressLabel")->text(), "_p 0x000040 (5 ms)");

    // Closing frees it.
    QPointer<TWatchForm> closed(numeric);
    numeric->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(closed.isNull());
}

TEST_F(WatchFormTest, CountsOfZeroAndAboveSixteen)
{
    // A count of 0 sends nothing and fails at every tick.
    TWatchForm* none = Open({.caption = "", .count = 0, .interval = 5, .space = MemorySpace::Y, .address = 0});
    QSignalSpy ticks(Timer(none), &QTimer::timeout);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks.count() >= 3; }, 2000));
    EXPECT_EQ(Square(none), kRed);
    EXPECT_EQ(Values(none), "");
    EXPECT_TRUE(ReadCounts().empty());
    none->close();

    for (const std::uint32_t count : {17u, 0xFFFFFFFFu}) {
        m.machine.ClearRequestLog();
        TWatchForm* many = Open({.caption = "", .count = count, .interval = 5, .space = MemorySpace::Y, .address = 0});
        ASSERT_TRUE(WaitForValues(many));
        EXPECT_EQ(Values(many).count('\n'), 15) << count;
        EXPECT_EQ(ReadCounts().front(), 16u);
        EXPECT_GE(many->height(), many->sizeHint().height());  // every line shows
        many->close();
    }
}

TEST_F(WatchFormTest, AnIntervalOfZeroNeverReads)
{
    TWatchForm* watch = Open({.caption = "", .count = 1, .interval = 0, .space = MemorySpace::Y, .address = 0});
    EXPECT_FALSE(Timer(watch)->isActive());
    QTest::qWait(50);
    EXPECT_TRUE(ReadCounts().empty());
    EXPECT_EQ(Square(watch), kLime);
    // Enabled all the same: a reset turns the square yellow, a click black.
    DoubleClick(watch, "ValueLabel");
    EXPECT_EQ(Square(watch), kYellow);
    QTest::mouseClick(watch->findChild<QWidget*>("ComShape"), Qt::LeftButton);
    EXPECT_EQ(Square(watch), kBlack);
    QTest::mouseClick(watch->findChild<QWidget*>("ComShape"), Qt::RightButton);
    EXPECT_EQ(Square(watch), kYellow);
    EXPECT_FALSE(Timer(watch)->isActive());
}

TEST_F(WatchFormTest, TheSignBitByMode)
{
    m.machine.SetMemoryWord(1, 0x10, 0x800000);
    TWatchForm* watch = Open({.caption = "", .count = 1, .interval = 5, .space = MemorySpace::Y, .address = 0x10});
    struct Case {
        const char* item;
        const char* shown;
        QColor square;
    };
    for (const Case& c : {Case{"UnsignedMaximumValueMenu", "0x800000 (8388608)", kAqua},
                          Case{"SignedMaximumValueMenu", "0x800000 (-8388608)", kAqua},
                          Case{"UnsignedMinimumValueMenu", "0x800000 (8388608)", kAqua},
                          Case{"SignedMinimumValueMenu", "0x800000 (-8388608)", kAqua},
                          Case{"NormalMenu", "0x800000 (8388608)", kLime}, Case{"NormalMenu", "0x800000 (8388608)", kLime}}) {
        SCOPED_TRACE(c.item);
        ASSERT_TRUE(WaitForValues(watch));
        // Every choice resets, the mode in force too.
        Choose(watch, c.item);
        EXPECT_EQ(Values(watch), "");
        EXPECT_EQ(Square(watch), kYellow);
        ASSERT_TRUE(WaitForValues(watch));
        EXPECT_EQ(Values(watch), c.shown);
        EXPECT_EQ(Square(watch), c.square);
    }
}

TEST_F(WatchFormTest, TheSquarePausesAndAResetWhilePausedStaysBlack)
{
    m.machine.SetMemoryWord(0, 0, 0x42);
    TWatchForm* watch = Open({.caption = "", .count = 1, .interval = 5, .space = MemorySpace::X, .address = 0});
    ASSERT_TRUE(WaitForValues(watch));
    QTest::mouseClick(watch->findChild<QWidget*>("ComShape"), Qt::LeftButton);
    EXPECT_EQ(Square(watch), kBlack);
    EXPECT_FALSE(Timer(watch)->isActive());
    EXPECT_EQ(Values(watch), "0x000042 (66)");  // kept while paused

    DoubleClick(watch, "ValueLabel");
    EXPECT_EQ(Values(watch), "");
    EXPECT_EQ(Square(watch), kBlack);

    // A double-click on the square is two clicks: paused again.
    DoubleClick(watch, "ComShape");
    EXPECT_EQ(Square(watch), kBlack);
    EXPECT_FALSE(Timer(watch)->isActive());
    QTest::mouseClick(watch->findChild<QWidget*>("ComShape"), Qt::LeftButton);
    EXPECT_EQ(Square(watch), kYellow);
    EXPECT_TRUE(WaitForValues(watch));
}

TEST_F(WatchFormTest, TheMenuTicksTheModeInForce)
{
    TWatchForm* watch = Open({.caption = "", .count = 1, .interval = 1000, .space = MemorySpace::Y, .address = 0});
    Choose(watch, "SignedMinimumValueMenu");
    std::vector<bool> ticked;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_TRUE(menu);
        for (QAction* item : menu->actions())
            ticked.push_back(item->isChecked());
        menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(100, 30), watch->mapToGlobal(QPoint(100, 30)));
    QApplication::sendEvent(watch, &event);
    EXPECT_THAT(ticked, testing::ElementsAre(false, false, false, false, true));
}

}  // namespace
