// The user program download from the "Download" button: the refusals, and
// the dialog's Abort button, Esc and close box, with the status line ticking
// while the dialog is open.

#include "procedures/ui/ProcedureForm.h"
#include "WindowsFixture.h"

#include <QProgressBar>
#include <QRadioButton>

#include <gtest/gtest.h>

namespace {

class ProgramUserFormTest : public testing::Test {
protected:
    void SetUp() override { ClearSettings(); }

    // The sample machine's factory data, the port open, the sample program loaded.
    static void Prepare(ModelWindows& w, const FactoryLayout& factory = {})
    {
        factory.WriteTo(w.m);
        w.windows.config->findChild<QRadioButton*>("Com1RadioButton")->click();
        w.prompts.AnswerFile(QUORVEX_SAMPLES_DIR "/sample-user.tbu");
        w.Click("LoadUserButton");
    }
};

TEST_F(ProgramUserFormTest, RefusalsShowInTheResultLabelAndOpenNoDialog)
{
    struct Case {
        const char* what;
        FactoryLayout factory;
        bool silent;
        QString text;
    };
    const std::vector<Case> cases{
        {"no answer", {}, true, "No answer"},
        {"other hardware", {.hardwareVersion = 0x020200}, false, "Incompatiblable hardware version"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ModelWindows w;
        Prepare(w, c.factory);
        ASSERT_TRUE(w.Find<QWidget>("ProgramUserButton")->isEnabled());
        if (c.silent)
            w.m.machine.PowerOff();
        w.Click("ProgramUserButton");
        EXPECT_EQ(w.Text("ProgramUserStatusLabel"), c.text);
        EXPECT_FALSE(w.windows.user->isVisible());
    }
    // Factory data erased after the load: the readout of the button finds none.
    ModelWindows w;
    Prepare(w);
    w.m.machine.EraseAllFlash();
    w.Click("ProgramUserButton");
    EXPECT_EQ(w.Text("ProgramUserStatusLabel"), "Factory data must be downloaded first");
    EXPECT_FALSE(w.Find<QWidget>("ProgramUserButton")->isEnabled());
}

// Abort and Esc end the download at the next tick with "Aborted"; the close
// box stops it where it is and leaves "Not done".
TEST_F(ProgramUserFormTest, AbortEscAndTheCloseBox)
{
    struct Case {
        const char* what;
        std::function<void(QWidget*)> end;
        QString result;
        int modalResult;
    };
    const std::vector<Case> cases{
        {"Abort", [](QWidget* d) { d->findChild<QPushButton*>("AbortButton")->click(); }, "Aborted",
         TProcedureForm::Abort},
        {"Esc", [](QWidget* d) { QTest::keyClick(d, Qt::Key_Escape); }, "Aborted", TProcedureForm::Abort},
        {"close box", [](QWidget* d) { d->close(); }, "Not done", TProcedureForm::Cancel},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ModelWindows w;
        Prepare(w);
        w.QuickStatusLine();
        bool seen = false;
        WhenModal([&](QWidget* dialog) {
            seen = true;
            EXPECT_EQ(dialog, w.windows.user.get());
            EXPECT_EQ(dialog->windowTitle(), "Download user program");
            EXPECT_EQ(dialog->size(), QSize(256, 95));
            EXPECT_EQ(w.objects.userResultText, "Not done");
            EXPECT_EQ(dialog->findChild<QLabel*>("StatusLabel")->text(), "Erasing...");
            EXPECT_EQ(dialog->findChild<QProgressBar*>("ProgressBar")->value(), 0);
            EXPECT_TRUE(w.m.link.OwnedByProcedure());  // a watch window sends nothing meanwhile
            // The status line goes on ticking behind the modal dialog.
            w.Find<QLabel>("StatusBarLabel")->clear();
            EXPECT_TRUE(QTest::qWaitFor([&] { return w.Text("StatusBarLabel") == "com1 : Ok"; }, 1000));
            c.end(dialog);
        });
        w.Click("ProgramUserButton");
        EXPECT_TRUE(seen);
        EXPECT_EQ(w.windows.user->result(), c.modalResult);
        EXPECT_EQ(w.objects.userResultText, c.result.toStdString());
        EXPECT_EQ(w.Text("ProgramUserStatusLabel"), c.result);
        EXPECT_FALSE(w.windows.user->findChild<QTimer*>("Timer")->isActive());
        EXPECT_FALSE(w.m.link.OwnedByProcedure());  // the close box too gives the link back
    }
}

TEST_F(ProgramUserFormTest, ACompleteDownloadEndsWithDoneAndTheNewVersions)
{
    ModelWindows w;
    Prepare(w);
    QStringList labels;
    WhenModal([&](QWidget* dialog) {
        EXPECT_EQ(dialog->findChild<QTimer*>("Timer")->interval(), 60);
        auto* label = dialog->findChild<QLabel*>("StatusLabel");
        auto* record = new QTimer(dialog);
        QObject::connect(record, &QTimer::timeout, [&labels, label] {
            if (labels.isEmpty() || labels.back() != label->text())
                labels << label->text();
        });
        record->start(5);
    });
    w.Click("ProgramUserButton");
    EXPECT_EQ(w.windows.user->result(), TProcedureForm::Ok);
    EXPECT_EQ(w.Text("ProgramUserStatusLabel"), "Done");
    EXPECT_EQ(labels.front(), "Erasing...");
    EXPECT_TRUE(labels.contains("Programming..."));
    EXPECT_EQ(w.Text("MainProgramVersionLabel"), "V2.01 C");
    EXPECT_EQ(w.Text("RefreshStatusLabel"), "");
}

}  // namespace
