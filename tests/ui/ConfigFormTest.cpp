// The "Serial port" dialog: the stored port opened at start-up, picks
// stored and opened, names that are not one of the eight, a store that holds
// no text.

#include "link/Settings.h"
#include "link/ui/ConfigForm.h"
#include "sim/ModelPortBackend.h"
#include "WindowsFixture.h"
#include "link/ui/PortDevicesForm.h"

#include <QComboBox>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class ConfigFormTest : public testing::Test {
protected:
    void SetUp() override { ClearSettings(); }

    static std::string Stored()
    {
        std::string value = "(missing)";
        ReadSetting("ComPort", value);
        return value;
    }
    // The radio items checked, by number.
    static std::vector<int> Checked(ModelWindows& w)
    {
        std::vector<int> checked;
        for (int item = 1; item <= 8; ++item)
            if (w.windows.config->findChild<QRadioButton*>(QString("Com%1RadioButton").arg(item))->isChecked())
                checked.push_back(item);
        return checked;
    }
    static void Pick(ModelWindows& w, int item)
    {
        w.windows.config->findChild<QRadioButton*>(QString("Com%1RadioButton").arg(item))->click();
    }
};

TEST_F(ConfigFormTest, FirstRunOpensNothingAndStoresNothing)
{
    ModelWindows w;
    EXPECT_EQ(w.m.link.State(), LinkState::Closed);
    EXPECT_EQ(w.objects.portName, "");
    EXPECT_TRUE(Checked(w).empty());
    EXPECT_EQ(Stored(), "(missing)");
    EXPECT_EQ(w.windows.config->windowTitle(), "Serial port");
    EXPECT_TRUE(w.windows.config->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(w.prompts.asked.empty());
}

TEST_F(ConfigFormTest, APickIsStoredAndOpenedAgainAfterARestart)
{
    {
        ModelWindows w;
        Pick(w, 3);
        EXPECT_EQ(Stored(), "com3");
        EXPECT_EQ(w.objects.portName, "com3");
        EXPECT_EQ(w.m.link.State(), LinkState::Ready);
        EXPECT_EQ(Checked(w), std::vector<int>{3});
        // Another pick closes the port first, which turns RTS off.
        ASSERT_TRUE(w.m.link.SetRts(true));
        Pick(w, 5);
        EXPECT_FALSE(w.m.link.Rts());
        EXPECT_EQ(Checked(w), std::vector<int>{5});
        // "Close" hides the dialog and keeps the port.
        w.windows.config->show();
        w.windows.config->findChild<QPushButton*>("CloseButton")->click();
        EXPECT_FALSE(w.windows.config->isVisible());
        EXPECT_EQ(w.m.link.State(), LinkState::Ready);
    }
    ModelWindows restarted;
    EXPECT_EQ(restarted.objects.portName, "com5");
    EXPECT_EQ(restarted.m.link.State(), LinkState::Ready);
    EXPECT_EQ(Checked(restarted), std::vector<int>{5});
}

TEST_F(ConfigFormTest, AStoredNameThatIsNotOneOfTheEightOpensNothing)
{
    for (const char* name : {"COM3", "com9", "com", "/dev/ttyUSB0"}) {
        SCOPED_TRACE(name);
        StoreSetting("ComPort", name);
        ModelWindows w;
        EXPECT_EQ(w.m.link.State(), LinkState::Closed);
        EXPECT_TRUE(Checked(w).empty());
    }
}

TEST_F(ConfigFormTest, APickThatCannotOpenIsStoredAllTheSame)
{
    ModelWindows w;
    auto* backend = new ModelPortBackend(w.m.machine);
    backend->SetAvailable(false);
    DeviceLink missing{std::unique_ptr<PortBackend>(backend)};
    ToolContext context = w.objects.Over(missing);
    TConfigForm dialog(missing, context.portName, w.prompts);
    dialog.findChild<QRadioButton*>("Com3RadioButton")->click();
    EXPECT_EQ(Stored(), "com3");
    EXPECT_EQ(missing.State(), LinkState::NotAvailable);
    EXPECT_TRUE(dialog.findChild<QRadioButton*>("Com3RadioButton")->isChecked());
}

// A stored port that is not text: its message in an error box, then a start
// with no port selected, instead of a tool that never starts again.
TEST_F(ConfigFormTest, AStoredPortThatIsNotTextIsShownAndTheToolStartsWithoutPort)
{
    StoreSetting("ComPort", 3);
    ModelWindows w;
    ASSERT_EQ(w.prompts.asked.size(), 1u);
    EXPECT_EQ(w.prompts.asked[0].kind, ScriptedPrompts::Kind::Error);
    EXPECT_EQ(w.prompts.asked[0].text, "Invalid data type for 'ComPort'");
    EXPECT_EQ(w.m.link.State(), LinkState::Closed);
    EXPECT_TRUE(Checked(w).empty());
    // A pick mends the store.
    Pick(w, 2);
    EXPECT_EQ(Stored(), "com2");
}

TEST_F(ConfigFormTest, EachItemTellsTheDeviceItsNameStandsFor)
{
    StoreSetting("Ports/com1", "/dev/ttyUSB0");
    ModelWindows w;
    const QString usb = w.windows.config->findChild<QRadioButton*>("Com1RadioButton")->toolTip();
    const QString serial = w.windows.config->findChild<QRadioButton*>("Com3RadioButton")->toolTip();
    EXPECT_TRUE(usb.startsWith("com1 is /dev/ttyUSB0, ")) << usb.toStdString();
    EXPECT_TRUE(serial.startsWith("com3 is /dev/ttyS2, ")) << serial.toStdString();
    EXPECT_TRUE(serial.contains("present now") && serial.contains("context menu chooses another device"))
        << serial.toStdString();
    EXPECT_TRUE(w.windows.config->findChild<QWidget*>("ComRadioGroup")->toolTip().isEmpty());
}

}  // namespace

namespace {

TEST_F(ConfigFormTest, ADeviceChosenForTheSelectedNameIsStoredAndOpened)
{
    ModelWindows w;
    Pick(w, 2);
    const std::string device = "/tmp/mirelle-chosen-device";
    auto* row = w.windows.devices->findChild<QComboBox*>("Com2DeviceComboBox");
    ASSERT_NE(row, nullptr);
    w.m.link.ClosePort();
    row->setEditText(QString::fromStdString(device));
    QTest::keyClick(row, Qt::Key_Return);

    std::string stored;
    ASSERT_TRUE(ReadSetting("Ports/com2", stored));
    EXPECT_EQ(stored, device);
    EXPECT_EQ(w.m.link.State(), LinkState::Ready);
    EXPECT_EQ(w.m.backend->Device(), device);
    const QString hint = w.windows.config->findChild<QRadioButton*>("Com2RadioButton")->toolTip();
    EXPECT_TRUE(hint.startsWith(QString::fromStdString("com2 is " + device + ", not present now"))) << hint.toStdString();
}

// Both dialogs open: a name picked in the port dialog shows as the selected
// one in the devices dialog at once, and a device being typed there stays.
TEST_F(ConfigFormTest, APickShowsAsSelectedInTheOpenDevicesDialog)
{
    ModelWindows w;
    Pick(w, 2);
    w.windows.devices->ShowFor(2);
    const auto state = [&w](int item) {
        return w.windows.devices->findChild<QLabel*>(QString("Com%1StateLabel").arg(item))->text();
    };
    EXPECT_TRUE(state(2).endsWith(", selected")) << state(2).toStdString();
    auto* typing = w.windows.devices->findChild<QComboBox*>("Com7DeviceComboBox");
    typing->setEditText("/tmp/mirelle-half-typed");

    Pick(w, 5);
    EXPECT_TRUE(state(5).endsWith(", selected")) << state(5).toStdString();
    EXPECT_FALSE(state(2).contains("selected")) << state(2).toStdString();
    EXPECT_EQ(typing->currentText(), "/tmp/mirelle-half-typed");
}

}  // namespace
