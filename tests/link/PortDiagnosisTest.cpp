// Why a port did not open, from the path's facts and Qt's lock file.
// The tables name only the facts a case is about; the others keep their
// defaults, as designated initializers leave them.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

#include "link/DeviceLink.h"
#include "link/PortDiagnosis.h"
#include "link/QtPortBackend.h"
#include "link/SerialPortList.h"
#include "support/PseudoTerminal.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

using testing::HasSubstr;

namespace {

struct Case {
    const char* name;
    PortPathFacts facts;
    PortTrouble trouble;
    const char* text;  // a part of the diagnosis' text
};

const std::vector<SerialPortEntry> kPresent{{.device = "/dev/ttyUSB0"}, {.device = "/dev/ttyS0"}};

TEST(PortDiagnosis, EachFactOfThePathHasItsReasonAndRemedy)
{
    const Case cases[] = {
        {"missing", {}, PortTrouble::NoDevice,
         "No such device \u2014 is the adapter plugged in? the serial ports present are /dev/ttyUSB0, /dev/ttyS0"},
        {"directory", {.exists = true, .directory = true}, PortTrouble::NotADevice, "Not a serial port (a directory)"},
        {"file", {.exists = true}, PortTrouble::NotADevice, "Not a serial port (a file)"},
        {"no permission", {.exists = true, .characterDevice = true, .group = "dialout"}, PortTrouble::NoPermission,
         "Permission denied \u2014 add yourself to the dialout group: sudo usermod -aG dialout $USER, then log in again"},
        {"held", {.exists = true, .characterDevice = true, .readWrite = true, .lockHolder = PortLockHolder{42, "mirelle-cli"}},
         PortTrouble::Busy, "Busy: held by mirelle-cli (process 42)"},
        {"other", {.exists = true, .characterDevice = true, .readWrite = true}, PortTrouble::Other,
         "Input/output error"},
    };
    for (const Case& c : cases) {
        const PortDiagnosis diagnosis = ClassifyPortFailure(c.facts, "Input/output error", kPresent);
        EXPECT_EQ(diagnosis.trouble, c.trouble) << c.name;
        EXPECT_THAT(diagnosis.Text(), HasSubstr(c.text)) << c.name;
    }
    EXPECT_THAT(ClassifyPortFailure({}, "", {}).Text(), HasSubstr("no serial port is present"));
    EXPECT_EQ(PortFailureText("com1", "/dev/ttyUSB0", {PortTrouble::Other, "Gone", ""}), "com1 (/dev/ttyUSB0): Gone");
    EXPECT_EQ(PortFailureText("/dev/ttyUSB0", "/dev/ttyUSB0", {PortTrouble::Other, "Gone", ""}), "/dev/ttyUSB0: Gone");
}

TEST(PortDiagnosis, TheSystemTellsMissingDirectoryFileAndAPortHeldByAnotherOpen)
{
    QTemporaryDir folder;
    const std::string file = folder.filePath("plain").toStdString();
    QFile(QString::fromStdString(file)).open(QIODevice::WriteOnly);

    EXPECT_FALSE(ExaminePortPath(folder.filePath("none").toStdString()).exists);
    EXPECT_TRUE(ExaminePortPath(folder.path().toStdString()).directory);
    const PortPathFacts plain = ExaminePortPath(file);
    EXPECT_TRUE(plain.exists);
    EXPECT_FALSE(plain.characterDevice);

    PseudoTerminal pty;
    ASSERT_TRUE(pty.IsValid());
    EXPECT_FALSE(ExaminePortPath(pty.SlavePath()).lockHolder);
    QtPortBackend holder;
    ASSERT_TRUE(holder.Open(PortAddress::OfDevice(pty.SlavePath()), LineSettings{}));
    QtPortBackend second;
    EXPECT_FALSE(second.Open(PortAddress::OfDevice(pty.SlavePath()), LineSettings{}));
    const PortDiagnosis busy = DiagnosePortFailure(pty.SlavePath(), second.OpenError());
    EXPECT_EQ(busy.trouble, PortTrouble::Busy) << busy.Text();
    EXPECT_THAT(busy.reason, HasSubstr("(process " + std::to_string(::getpid()) + ")"));
}

// The working folder of the process, changed while one lives.
class WorkingFolder {
public:
    explicit WorkingFolder(const QString& path) : before(QDir::currentPath()) { EXPECT_TRUE(QDir::setCurrent(path)); }
    ~WorkingFolder() { QDir::setCurrent(before); }

private:
    QString before;
};

// A path relative to the working folder opens as given, never as one in
// /dev; a device that is no terminal (/dev/null) is no serial port.
TEST(PortDiagnosis, RelativePathsOpenAsGivenAndOtherDevicesAreNoSerialPorts)
{
    PseudoTerminal pty;
    ASSERT_TRUE(pty.IsValid());
    QTemporaryDir folder;
    ASSERT_TRUE(QFile::link(QString::fromStdString(pty.SlavePath()), folder.filePath("cl.lnk")));
    const WorkingFolder workingFolder(folder.path());
    const std::string otherDevice = "Not a serial port (a device of another kind) \u2014 choose the port's device again: ";
    const Case cases[] = {
        {"cl.lnk", {}, PortTrouble::None, ""},
        {"./cl.lnk", {}, PortTrouble::None, ""},
        {"/dev/null", {}, PortTrouble::NotADevice, otherDevice.c_str()},
        {"/dev/zero", {}, PortTrouble::NotADevice, otherDevice.c_str()},
        {"missing.lnk", {}, PortTrouble::NoDevice, "No such device \u2014 "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeviceLink link;
        EXPECT_EQ(link.OpenPort(PortAddress::OfDevice(c.name)), c.trouble == PortTrouble::None);
        EXPECT_EQ(link.OpenFailure().trouble, c.trouble);
        EXPECT_THAT(link.OpenFailure().Text(), testing::StartsWith(c.text));
    }
}

TEST(SerialPortList, AStableNameIsTheLinkThatNamesTheDevice)
{
    PseudoTerminal pty;
    QTemporaryDir byId;
    const QString link = byId.filePath("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    ASSERT_TRUE(QFile::link(QString::fromStdString(pty.SlavePath()), link));
    QFile::link("/nonexistent", byId.filePath("usb-gone"));

    EXPECT_EQ(StableNameOf(pty.SlavePath(), byId.path().toStdString()), link.toStdString());
    EXPECT_EQ(StableNameOf("/dev/null", byId.path().toStdString()), "");
    EXPECT_EQ(ResolvedDevice(link.toStdString()), pty.SlavePath());
    EXPECT_TRUE(DevicePresent(link.toStdString()));
    EXPECT_FALSE(DevicePresent(byId.filePath("usb-gone").toStdString()));

    const SerialPortEntry adapter{.device = "/dev/ttyUSB0", .description = "FT232R USB UART",
                                  .manufacturer = "FTDI", .serialNumber = "A50285BI", .vendorId = 0x0403,
                                  .productId = 0x6001};
    EXPECT_EQ(PortEntryLabel(adapter), "ttyUSB0 \u2014 FT232R USB UART (FTDI, A50285BI)");
    EXPECT_EQ(UsbIdText(adapter), "0403:6001");
    EXPECT_EQ(PortEntryLabel({.device = "/dev/ttyS0"}), "ttyS0");
}

}  // namespace
