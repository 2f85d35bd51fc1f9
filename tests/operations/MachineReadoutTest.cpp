// The machine information readout against the in-process machine model, and
// the panel texts it leads to.

#include "support/FlashLayouts.h"
#include "operations/readout/MachineInfo.h"
#include "operations/readout/MachinePanel.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

constexpr const char* kFactoryDrivers = "type 0x01 V1.00;  type 0x02 V1.10;  ";

// Panel texts by caption, for short assertions.
std::map<std::string, std::string> Rows(const MachineInfo& info)
{
    std::map<std::string, std::string> rows;
    for (const auto& row : FillMachinePanel(info, false).rows)
        rows[row.caption] = row.text;
    return rows;
}

class ReadoutTest : public testing::Test {
protected:
    void Write()
    {
        factory.WriteTo(m);
        if (factory.count != 0 && factory.count != 0xFFFFFF)
            userArea.WriteTo(m, factory.userArea);
    }
    MachineInfo Read()
    {
        Write();
        MachineInfo info;
        ReadMachineInfo(m.link, info);
        return info;
    }

    ModelLink m;
    FactoryLayout factory;
    UserAreaLayout userArea;
};

TEST_F(ReadoutTest, CompleteReadoutFillsEveryFieldAndLeavesTheStatusEmpty)
{
    const auto info = Read();
    EXPECT_EQ(info.statusText, "");
    EXPECT_TRUE(info.answered);
    EXPECT_TRUE(info.factoryInfoRead);
    EXPECT_TRUE(info.mainInfoRead);
    EXPECT_EQ(info.identText, "Hard ident : 4D520001, flash ident : 000122DA");
    EXPECT_EQ(info.userAreaAddress, 0xD20000u);
    EXPECT_EQ(info.userAreaLength, 0x20000u);
    EXPECT_EQ(info.eraseStep, 0x10000u);
    EXPECT_EQ(info.factoryDataAddress, 0xD00040u);
    EXPECT_TRUE(info.serialWritten);
    EXPECT_TRUE(info.nameWritten);

    const auto panel = FillMachinePanel(info, false);
    EXPECT_TRUE(panel.factoryShown);
    EXPECT_TRUE(panel.mainShown);
    EXPECT_FALSE(panel.serialEditEnabled);
    EXPECT_FALSE(panel.serialWriteVisible);
    const std::vector<std::pair<std::string, std::string>> expected{
        {"Hard/flash Ident :", "Hard ident : 4D520001, flash ident : 000122DA"},
        {"Mini boot version :", "V1.03 A"},
        {"Hardware version :", "010200"},
        {"Hardware options", "0x000003"},
        {"Serial number :", "SN000042"},
        {"Machine name :", "Bench recorder"},
        {"Program loader version :", "V1.20 B"},
        {"Factory drivers :", kFactoryDrivers},
        {"Main boot version :", "V2.00 A"},
        {"Program 1 version :", "V2.01 C"},
        {"Program 2 version :", "V1.00 A"},
        {"Drivers :", "type 0x10 V2.00;  type 0x11 V1.05;  "},
    };
    ASSERT_EQ(panel.rows.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(panel.rows[i].caption, expected[i].first);
        EXPECT_EQ(panel.rows[i].text, expected[i].second) << expected[i].first;
        EXPECT_EQ(PanelRowCaption(panel.rows[i].id), expected[i].first);
    }
}

// Word 0xFFFFFF (erased) or 0 at 0xD00000: only the identity line.
TEST_F(ReadoutTest, MissingFactoryAreaEndsWithDoneAndOnlyTheIdentity)
{
    for (const std::uint32_t count : {0xFFFFFFu, 0u}) {
        SCOPED_TRACE(count);
        ModelLink blank;
        FactoryLayout{.count = count}.WriteTo(blank);
        MachineInfo info;
        ReadMachineInfo(blank.link, info);
        EXPECT_EQ(info.statusText, "Done");
        EXPECT_TRUE(info.answered);
        EXPECT_FALSE(info.factoryInfoRead);
        EXPECT_FALSE(info.mainInfoRead);

        const auto panel = FillMachinePanel(info, false);
        EXPECT_FALSE(panel.factoryShown);
        EXPECT_FALSE(panel.serialWriteVisible);
        for (const auto& row : panel.rows) {
            if (row.id == PanelRowId::HardIdent)
                EXPECT_EQ(row.text, "Hard ident : 4D520001, flash ident : 000122DA");
            else if (row.id == PanelRowId::HardwareOptions)
                EXPECT_EQ(row.text, "0xFFFFFF");
            else
                EXPECT_EQ(row.text, "") << row.caption;
        }
    }
}

TEST_F(ReadoutTest, MissingMainRecordEndsWithDoneAfterTheFactorySection)
{
    userArea.mainRecord = 0xFFFFFF;
    const auto info = Read();
    EXPECT_EQ(info.statusText, "Done");
    EXPECT_TRUE(info.answered);
    EXPECT_TRUE(info.factoryInfoRead);
    EXPECT_FALSE(info.mainInfoRead);
    auto rows = Rows(info);
    EXPECT_EQ(rows["Factory drivers :"], kFactoryDrivers);
    EXPECT_EQ(rows["Main boot version :"], "");
    EXPECT_EQ(rows["Drivers :"], "");
}

// Whichever request fails, the readout stops there with "No answer", and no
// flag of the complete readout before it is left standing.
TEST_F(ReadoutTest, AFailedRequestAnywhereEndsTheReadoutWithNoAnswer)
{
    Write();
    MachineInfo info;
    const auto before = m.machine.RequestCount();
    ReadMachineInfo(m.link, info);
    ASSERT_TRUE(info.mainInfoRead);
    const auto requests = unsigned(m.machine.RequestCount() - before);
    ASSERT_EQ(requests, 16u);

    for (unsigned failing = 1; failing <= requests; ++failing) {
        SCOPED_TRACE(failing);
        ReadMachineInfo(m.link, info);
        ASSERT_TRUE(info.mainInfoRead);
        m.machine.InjectFault({.kind = FaultKind::NoAnswer, .nth = failing});
        const auto start = m.machine.RequestCount();
        ReadMachineInfo(m.link, info);
        m.machine.ClearFaults();
        EXPECT_EQ(m.machine.RequestCount() - start, failing);
        EXPECT_EQ(info.statusText, "No answer");
        EXPECT_FALSE(info.answered);
        EXPECT_FALSE(info.mainInfoRead);

        const auto panel = FillMachinePanel(info, false);
        EXPECT_FALSE(panel.factoryShown);
        EXPECT_FALSE(panel.mainShown);
        for (const auto& row : panel.rows)
            EXPECT_EQ(row.text, row.id == PanelRowId::HardwareOptions ? "0xFFFFFF" : "") << row.caption;
    }
}

TEST_F(ReadoutTest, ShortReadoutKeepsOnlyTheIdentityLine)
{
    auto info = Read();
    ASSERT_TRUE(info.mainInfoRead);
    const auto before = m.machine.RequestCount();
    ReadIdentOnly(m.link, info);
    EXPECT_EQ(m.machine.RequestCount() - before, 1u);
    EXPECT_EQ(info.statusText, "Done");
    EXPECT_TRUE(info.answered);
    EXPECT_FALSE(info.factoryInfoRead);
    EXPECT_FALSE(info.mainInfoRead);
    auto rows = Rows(info);
    EXPECT_EQ(rows["Hard/flash Ident :"], "Hard ident : 4D520001, flash ident : 000122DA");
    EXPECT_EQ(rows["Mini boot version :"], "");
    EXPECT_EQ(rows["Program 1 version :"], "");
    EXPECT_EQ(rows["Hardware options"], "0xFFFFFF");

    m.link.ClosePort();
    ReadIdentOnly(m.link, info);
    EXPECT_EQ(info.statusText, "No answer");
    EXPECT_FALSE(info.answered);
}

TEST_F(ReadoutTest, SerialNumberAndNameFields)
{
    struct Case {
        const char* what;
        std::vector<std::uint8_t> serial;
        bool written;
        std::string shown;
    };
    std::vector<std::uint8_t> blank(8, 0xFF);
    blank.push_back(0);
    const std::vector<std::uint8_t> allErased(9, 0xFF);
    const std::vector<Case> cases{
        {"eight 0xFF and a zero: blank", blank, false, ""},
        {"nine 0xFF: written", allErased, true, std::string(9, '\xFF')},
        {"leading blanks kept", FactoryLayout::Field("   12345", 9), true, "   12345"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ModelLink machine;
        FactoryLayout layout;
        layout.serialNumber = c.serial;
        layout.WriteTo(machine);
        MachineInfo info;
        ReadMachineInfo(machine.link, info);
        ASSERT_TRUE(info.factoryInfoRead);
        EXPECT_EQ(info.serialWritten, c.written);
        if (!c.written) {
            EXPECT_EQ(info.serialNumber[0], 0);
        }
        const auto panel = FillMachinePanel(info, false);
        EXPECT_EQ(panel.serialEditEnabled, !c.written);
        EXPECT_EQ(panel.serialWriteVisible, !c.written);
        EXPECT_EQ(Rows(info)["Serial number :"], c.shown);
    }

    // The machine name follows the same rule over its 33 bytes.
    std::vector<std::uint8_t> blankName(32, 0xFF);
    blankName.push_back(0);
    for (const auto& [name, written] : {std::pair{blankName, false}, {std::vector<std::uint8_t>(33, 0xFF), true}}) {
        ModelLink machine;
        FactoryLayout layout;
        layout.machineName = name;
        layout.WriteTo(machine);
        MachineInfo info;
        ReadMachineInfo(machine.link, info);
        EXPECT_EQ(info.nameWritten, written);
        EXPECT_EQ(FillMachinePanel(info, false).nameWriteVisible, !written);
        EXPECT_EQ(Rows(info)["Machine name :"].size(), written ? 33u : 0u);
    }
}

TEST_F(ReadoutTest, VersionAndDriverTexts)
{
    EXPECT_EQ(VersionText(0x020A00), "V2.0A ");
    EXPECT_EQ(VersionText(0x1FFF41), "V1F.FF A");
    EXPECT_EQ(DriverText(0x011002), "type 0x02 V1.10;  ");

    factory.miniBootVersion = 0x020A00;
    EXPECT_EQ(Read().miniBootText, "V2.0A ");
}

TEST_F(ReadoutTest, AbsentRecordsAreShownAsMissing)
{
    factory.programLoader = 0xFFFFFF;
    factory.factoryDrivers = 0xFFFFFF;
    userArea.program1 = 0;
    userArea.program2 = 0;
    userArea.driverList = 0xFFFFFF;
    const auto info = Read();
    EXPECT_EQ(info.statusText, "");
    EXPECT_EQ(info.programLoaderText, "Program missing");
    EXPECT_EQ(info.factoryDriversText, "No drivers");
    EXPECT_EQ(info.program1Text, "Program missing");
    EXPECT_EQ(info.program2Text, "Program not present");
    EXPECT_EQ(info.driversText, "No drivers");
}

// A list whose next address points back into it is cut, not walked for ever;
// the readout still completes.
TEST_F(ReadoutTest, CyclicDriverListIsCutAndSaysSo)
{
    userArea.driverWords = {};
    Write();
    m.PutWords(userArea.driverList + 3, {0x020010, userArea.driverList});
    MachineInfo info;
    ReadMachineInfo(m.link, info);
    EXPECT_TRUE(info.mainInfoRead);
    std::string expected;
    for (unsigned i = 0; i < Readout::kMaxDriverRecords; ++i)
        expected += "type 0x10 V2.00;  ";
    expected += "(list cut after 100 records)";
    EXPECT_EQ(info.driversText, expected);
    EXPECT_EQ(DriverListCutText(), "(list cut after 100 records)");
}

// Only 0xFFFFFF ends a list: a next address of 0 is read like any other.
TEST_F(ReadoutTest, DriverListNextAddressZeroIsFollowed)
{
    userArea.driverWords = {};
    Write();
    m.PutWords(userArea.driverList + 3, {0x020010, 0});
    MachineInfo info;
    ReadMachineInfo(m.link, info);
    EXPECT_TRUE(info.mainInfoRead);
    // Address 3 lies outside the model's flash, which reads as erased.
    EXPECT_EQ(info.driversText, "type 0x10 V2.00;  type 0xFF VFF.FF;  ");
}

}  // namespace
