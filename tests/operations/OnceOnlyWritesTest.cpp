// The once-only writes and the hardware options write against the machine
// model: the bytes as the machine receives them, the refusals that send
// nothing, the confirmation, and the reports of a failed write.

#include "support/FlashLayouts.h"
#include "operations/machine/MachineControls.h"
#include "operations/readout/MachineInfo.h"
#include "support/OwnedContext.h"
#include "support/ScriptedPrompts.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::uint8_t> Bytes(const std::string& text)
{
    return {text.begin(), text.end()};
}

std::vector<std::uint8_t> Name(const std::string& text)
{
    std::vector<std::uint8_t> bytes(33, 0xFF);
    std::copy(text.begin(), text.end(), bytes.begin());
    bytes[text.size()] = 0;
    bytes[32] = 0;
    return bytes;
}

TEST(OnceOnlyFields, BytesAsTheMachineStoresThem)
{
    struct Case {
        OnceOnlyField field;
        QString text;
        std::vector<std::uint8_t> bytes;
    };
    const std::string zero(1, '\0');
    const std::vector<Case> cases{
        {OnceOnlyField::SerialNumber, "1234", Bytes("    1234" + zero)},
        {OnceOnlyField::SerialNumber, "  12 ", Bytes("      12" + zero)},
        {OnceOnlyField::SerialNumber, "\t12345678\r\n", Bytes("12345678" + zero)},
        {OnceOnlyField::SerialNumber, QString::fromLatin1("\xC9t\xE9"), Bytes("     \xC9t\xE9" + zero)},
        {OnceOnlyField::MachineName, "AB", Name("AB")},
        {OnceOnlyField::MachineName, "   AB", Name("AB")},  // no byte of the blanks after the zero
        {OnceOnlyField::MachineName, QString(31, 'n'), Name(std::string(31, 'n'))},
        {OnceOnlyField::MachineName, QString(32, 'n'), Bytes(std::string(32, 'n') + zero)},
        // One 0xFF fewer than a blank field has: written.
        {OnceOnlyField::SerialNumber, QString(7, QChar(0xFF)), Bytes(" " + std::string(7, '\xFF') + zero)},
        {OnceOnlyField::MachineName, QString(31, QChar(0xFF)), Name(std::string(31, '\xFF'))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const FieldBytes prepared = PrepareField(c.field, c.text);
        EXPECT_EQ(prepared.refusal, "");
        EXPECT_EQ(prepared.bytes, c.bytes);
    }
    const auto ab = Name("AB");
    EXPECT_EQ(std::count(ab.begin(), ab.end(), 0xFF), 29);
}

class MachineWritesTest : public testing::Test {
protected:
    void SetUp() override
    {
        FactoryLayout factory;
        factory.serialNumber = std::vector<std::uint8_t>(9, 0xFF);  // blank fields: erased
        factory.serialNumber.back() = 0;
        factory.machineName = std::vector<std::uint8_t>(33, 0xFF);
        factory.machineName.back() = 0;
        factory.hardwareOptions = 0xFFFFFF;
        factory.WriteTo(m);
        ReadMachineInfo(m.link, objects.machineInfo);
        ASSERT_TRUE(objects.machineInfo.factoryInfoRead);
        ASSERT_FALSE(objects.machineInfo.serialWritten);
        ASSERT_FALSE(objects.machineInfo.nameWritten);
        m.machine.ClearRequestLog();
    }
    std::vector<std::uint8_t> Field(std::uint32_t offset, std::size_t size) const
    {
        return m.machine.ReadFlash(FactoryLayout{}.factoryData + offset, size);
    }
    bool NothingSent() const { return m.machine.RequestLog().empty(); }

    ModelLink m;
    OwnedContext objects;
    MachineControls controls{m.link, objects.machineInfo};
    ScriptedPrompts prompts;
};

TEST_F(MachineWritesTest, RefusedTextsShowAnErrorAndSendNothing)
{
    struct Case {
        OnceOnlyField field;
        QString text;
        std::string error;
    };
    const std::vector<Case> cases{
        {OnceOnlyField::SerialNumber, "", "Serial number is empty !"},
        {OnceOnlyField::SerialNumber, " \t\r\n ", "Serial number is empty !"},
        {OnceOnlyField::MachineName, "  ", "Machine name is empty !"},
        {OnceOnlyField::MachineName, QString::fromUtf8("\u20ACuro"),
         "Machine name can not hold '\u20AC' (U+20AC) : one byte per character, Latin-1 only"},
        {OnceOnlyField::SerialNumber, "123456789", "Serial number is too long : 9 characters (8 at most)"},
        // Named by code point, not by half of its surrogate pair.
        {OnceOnlyField::MachineName, QString::fromUtf8("Line \U0001F600"),
         "Machine name can not hold '\U0001F600' (U+1F600) : one byte per character, Latin-1 only"},
        // Control characters: C0 (an inner tab too), DEL and C1.
        {OnceOnlyField::SerialNumber, "SN\x1B[2J", "Serial number can not hold U+001B : control characters cannot be shown"},
        {OnceOnlyField::MachineName, "Line\t3", "Machine name can not hold U+0009 : control characters cannot be shown"},
        {OnceOnlyField::MachineName, "Line 3\x7F", "Machine name can not hold U+007F : control characters cannot be shown"},
        {OnceOnlyField::SerialNumber, QString(QChar(0x9B)) + "1m", "Serial number can not hold U+009B : control characters cannot be shown"},
        // Bytes that read back as a blank field: every character 0xFF.
        {OnceOnlyField::SerialNumber, QString(8, QChar(0xFF)),
         "Serial number can not be 8 times '\u00FF' (U+00FF) : it would read back as a blank field"},
        {OnceOnlyField::MachineName, QString(32, QChar(0xFF)),
         "Machine name can not be 32 times '\u00FF' (U+00FF) : it would read back as a blank field"},
    };
    const auto wakeUps = m.machine.WakeCount();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        prompts.asked.clear();
        EXPECT_FALSE(controls.WriteField(c.field, c.text, prompts));
        ASSERT_EQ(prompts.asked.size(), 1u);
        EXPECT_EQ(prompts.asked[0].kind, ScriptedPrompts::Kind::Error);
        EXPECT_EQ(prompts.asked[0].caption, "Error");
        EXPECT_EQ(prompts.asked[0].text, c.error);
    }
    EXPECT_TRUE(NothingSent());
    EXPECT_EQ(m.machine.WakeCount(), wakeUps);
}

TEST_F(MachineWritesTest, AConfirmedWriteLandsInItsFieldAndNoSendsNothing)
{
    prompts.AnswerConfirm(false);
    EXPECT_FALSE(controls.WriteField(OnceOnlyField::SerialNumber, "1234", prompts));
    EXPECT_TRUE(NothingSent());
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].kind, ScriptedPrompts::Kind::Confirm);
    EXPECT_EQ(prompts.asked[0].caption, "Warning");
    EXPECT_EQ(prompts.asked[0].text, "Once it's been written, serial number can not be changed, Are you sure ?");

    prompts.AnswerConfirm(true);
    EXPECT_TRUE(controls.WriteField(OnceOnlyField::SerialNumber, "1234", prompts));
    EXPECT_EQ(Field(9, 9), Bytes(std::string("    1234") + '\0'));
    prompts.AnswerConfirm(true);
    EXPECT_TRUE(controls.WriteField(OnceOnlyField::MachineName, "AB", prompts));
    EXPECT_EQ(prompts.asked.back().text, "Once it's been written, machine name can not be changed, Are you sure ?");
    EXPECT_EQ(Field(18, 33), Name("AB"));
    EXPECT_EQ(prompts.asked.size(), 3u);  // no error box

    ReadMachineInfo(m.link, objects.machineInfo);
    EXPECT_TRUE(objects.machineInfo.serialWritten);
    EXPECT_TRUE(objects.machineInfo.nameWritten);
}

TEST_F(MachineWritesTest, AFailedWriteIsReportedAndCountsAsSent)
{
    m.machine.InjectFault({.kind = FaultKind::ProgramStatus, .nth = 1, .status = 1});
    prompts.AnswerConfirm(true);
    EXPECT_TRUE(controls.WriteField(OnceOnlyField::SerialNumber, "1234", prompts));
    EXPECT_EQ(prompts.asked.back().text, "Bad status while programming");

    m.machine.PowerOff();
    prompts.AnswerConfirm(true);
    EXPECT_TRUE(controls.WriteField(OnceOnlyField::MachineName, "AB", prompts));
    EXPECT_EQ(prompts.asked.back().kind, ScriptedPrompts::Kind::Error);
    EXPECT_EQ(prompts.asked.back().text, "No answer");
}

// The check on the readout comes after the text's and before the question;
// a front end's readout that refuses to run stops the write before it.
TEST_F(MachineWritesTest, TheReadoutMustLetTheFieldBeWritten)
{
    struct Case {
        const char* what;
        OnceOnlyField field;
        void (*readout)(MachineInfo&);
        FieldRefusal refusal;
        std::string error;
    };
    const std::vector<Case> cases{
        {"no answer", OnceOnlyField::SerialNumber, [](MachineInfo& i) { i.answered = false; },
         FieldRefusal::NoAnswer, "No answer"},
        {"no factory data", OnceOnlyField::MachineName, [](MachineInfo& i) { i.factoryInfoRead = false; },
         FieldRefusal::NoFactoryData, "Factory data must be downloaded first"},
        {"serial written", OnceOnlyField::SerialNumber, [](MachineInfo& i) { i.serialWritten = true; },
         FieldRefusal::AlreadyWritten, "Serial number is already written"},
        {"name written", OnceOnlyField::MachineName, [](MachineInfo& i) { i.nameWritten = true; },
         FieldRefusal::AlreadyWritten, "Machine name is already written"},
    };
    const MachineInfo blank = objects.machineInfo;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        prompts.asked.clear();
        const auto outcome = controls.Write(OnceOnlyWrite(c.field, "AB"), prompts, [&] {
            objects.machineInfo = blank;
            c.readout(objects.machineInfo);
            return true;
        });
        EXPECT_EQ(outcome.stop, FieldWriteStop::Refused);
        EXPECT_EQ(outcome.refusal, c.refusal);
        EXPECT_EQ(CheckFieldWrite(c.field, objects.machineInfo).text, c.error);
        ASSERT_EQ(prompts.asked.size(), 1u);  // the error box, no question
        EXPECT_EQ(prompts.asked[0].kind, ScriptedPrompts::Kind::Error);
        EXPECT_EQ(prompts.asked[0].text, c.error);
    }
    prompts.asked.clear();
    EXPECT_EQ(controls.Write(OnceOnlyWrite(OnceOnlyField::SerialNumber, "1"), prompts, [] { return false; }).stop,
              FieldWriteStop::NotRead);
    EXPECT_TRUE(prompts.asked.empty());
    EXPECT_TRUE(NothingSent());
}

// The hardware options as the edit displays them: its blanks shown as 0.
TEST_F(MachineWritesTest, HardwareOptionsFromTheDisplayedText)
{
    EXPECT_EQ(ScanHardwareOptions("0x100000"), 0x100000u);
    EXPECT_EQ(ScanHardwareOptions("0x000003"), 3u);
    EXPECT_EQ(ScanHardwareOptions("xyz"), std::nullopt);

    EXPECT_TRUE(controls.WriteHardwareOptions("0x100000", prompts));
    EXPECT_TRUE(prompts.asked.empty());  // no question
    EXPECT_EQ(Field(3, 3), (std::vector<std::uint8_t>{0x00, 0x00, 0x10}));
    EXPECT_EQ(objects.machineInfo.hardwareOptions, 0x100000u);
}

TEST_F(MachineWritesTest, PowerRequestsWakeTheMachineFirst)
{
    const auto wakeUps = m.machine.WakeCount();
    EXPECT_TRUE(controls.PowerControl(0));
    EXPECT_EQ(m.machine.WakeCount(), wakeUps + 1);
    EXPECT_EQ(m.machine.PowerRequests(), (std::vector<std::uint8_t>{0}));
    EXPECT_FALSE(controls.PowerControl(1));  // switched off: no answer
}

}  // namespace
