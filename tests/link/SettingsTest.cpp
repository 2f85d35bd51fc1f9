// The settings store against a temporary config folder (the test main points
// XDG_CONFIG_HOME at one), and the port names that resolve through it.
#include "link/PortName.h"
#include "link/PortSelection.h"
#include "link/Settings.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <utility>

namespace {

class SettingsTest : public testing::Test {
protected:
    void SetUp() override { Clear(); }
    void TearDown() override { Clear(); }
    static void Clear()
    {
        QSettings store("Orvane", "Quorvex");
        store.clear();
        store.sync();
    }
    static QString ConfigFolder() { return QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")); }
};

TEST_F(SettingsTest, MissingKeyOrValueLeavesTheDestinationAlone)
{
    QFile::remove(ConfigFolder() + "/Orvane/Quorvex.conf");
    std::string value = "untouched";
    EXPECT_FALSE(ReadSetting("ComPort", value));
    EXPECT_EQ(value, "untouched");
    EXPECT_FALSE(QFile::exists(ConfigFolder() + "/Orvane/Quorvex.conf"));  // reading creates nothing

    WriteSetting("UserDir", "/home/tech/programs/");
    EXPECT_FALSE(ReadSetting("ComPort", value));
    EXPECT_EQ(value, "untouched");
}

TEST_F(SettingsTest, WriteCreatesTheStoreAndReplacesEarlierValues)
{
    WriteSetting("ComPort", "com3");
    std::string value;
    ASSERT_TRUE(ReadSetting("ComPort", value));
    EXPECT_EQ(value, "com3");

    WriteSetting("ComPort", "");
    ASSERT_TRUE(ReadSetting("ComPort", value));
    EXPECT_EQ(value, "");  // an empty name is a stored value, not a missing one

    // Nothing is cached: a change made behind the store's back is seen.
    QSettings("Orvane", "Quorvex").setValue("ComPort", "com5");
    ASSERT_TRUE(ReadSetting("ComPort", value));
    EXPECT_EQ(value, "com5");
}

TEST_F(SettingsTest, AValueThatIsNotTextFailsTheRead)
{
    QSettings("Orvane", "Quorvex").setValue("ComPort", QStringList{"com1", "com2"});
    std::string value = "untouched";
    try {
        ReadSetting("ComPort", value);
        FAIL() << "no error raised";
    } catch (const SettingsError& error) {
        EXPECT_STREQ(error.what(), "Invalid data type for 'ComPort'");
    }
    EXPECT_EQ(value, "untouched");
}

TEST_F(SettingsTest, ARefusedWriteRaisesTheFailureText)
{
    // A file where the store's folder should be: nothing can be written there.
    const QString folder = ConfigFolder() + "/Orvane";
    QDir(folder).removeRecursively();
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    try {
        WriteSetting("UserDir", "/tmp/");
        ADD_FAILURE() << "no error raised";
    } catch (const SettingsError& error) {
        EXPECT_STREQ(error.what(), "Failed to set data for 'UserDir'");
    }
    QFile::remove(folder);
}

TEST_F(SettingsTest, PortNamesResolveThroughTheStoreOrToTheDefaultDevice)
{
    EXPECT_EQ(PortNumber("com1"), 1);
    EXPECT_EQ(PortNumber("com8"), 8);
    for (const char* other : {"COM3", "com0", "com9", "com10", "com", "", " com1"})
        EXPECT_FALSE(PortNumber(other)) << other;

    EXPECT_EQ(ResolvePortDevice("com3"), "/dev/ttyS2");
    WriteSetting("Ports/com3", "/dev/ttyUSB0");
    EXPECT_EQ(ResolvePortDevice("com3"), "/dev/ttyUSB0");
    EXPECT_EQ(ResolvePortDevice("com4"), "/dev/ttyS3");
    EXPECT_EQ(ResolvePortDevice("/dev/pts/7"), "/dev/pts/7");
    EXPECT_EQ(ResolvePortDevice("COM3"), "COM3");  // not a port name: taken as it stands
}

TEST(PortName, WindowsOpensComTenAndBeyondByTheDevicePrefix)
{
    const std::pair<const char*, const char*> cases[] = {
        {"COM1", "COM1"},   {"COM9", "COM9"},   {"COM10", R"(\\.\COM10)"},      {"com256", R"(\\.\com256)"},
        {"COM01", "COM01"}, {"COM1A", "COM1A"}, {R"(\\.\COM10)", R"(\\.\COM10)"}, {"/dev/ttyS10", "/dev/ttyS10"},
    };
    for (const auto& [device, opened] : cases)
        EXPECT_EQ(WindowsDevicePath(device), opened) << device;
    EXPECT_EQ(SystemDevicePath("COM10"), "COM10");  // elsewhere a name as it stands
}

}  // namespace
