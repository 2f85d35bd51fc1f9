#include "operations/machine/MachineControls.h"

#include "operations/readout/MachineInfo.h"
#include "operations/readout/MachinePanel.h"
#include "common/ByteOrder.h"
#include "common/ControlText.h"
#include "common/Latin1.h"
#include "common/FlashMap.h"
#include "common/Prompts.h"
#include "common/TextFormat.h"
#include "link/DeviceLink.h"

#include <QList>

#include <algorithm>
#include <cstdio>

namespace {

constexpr const char* kErrorCaption = "Error";
constexpr const char* kWarningCaption = "Warning";

namespace FactoryData = FlashMap::FactoryData;

// Each field ends in a zero byte: it holds one character less than its size.
constexpr int kSerialNumberLength = int(FactoryData::kSerialNumberSize) - 1;
constexpr int kMachineNameLength = int(FactoryData::kMachineNameSize) - 1;
constexpr std::uint8_t kErased = 0xFF;

struct FieldTexts {
    const char* name;  // as a refusal names the field
    const char* empty;
    const char* confirmation;
    const char* alreadyWritten;
    int length;
};

const FieldTexts& Texts(OnceOnlyField field)
{
    static const FieldTexts serial{"Serial number", "Serial number is empty !",
                                   "Once it's been written, serial number can not be changed, Are you sure ?",
                                   "Serial number is already written", kSerialNumberLength};
    static const FieldTexts name{"Machine name", "Machine name is empty !",
                                 "Once it's been written, machine name can not be changed, Are you sure ?",
                                 "Machine name is already written", kMachineNameLength};
    return field == OnceOnlyField::SerialNumber ? serial : name;
}

bool Blank(QChar c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Trailing, then leading blanks, tabs, CR and LF removed.
QString Trimmed(const QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && Blank(text[end - 1]))
        --end;
    qsizetype start = 0;
    while (start < end && Blank(text[start]))
        ++start;
    return text.mid(start, end - start);
}

// One ProgramFlashBlock of the bytes at `address`.
WriteResult WriteFlashField(DeviceLink& link, std::uint32_t address, const std::vector<std::uint8_t>& bytes)
{
    std::uint8_t status = 0;
    if (!link.ProgramFlashBlock(address, unsigned(bytes.size()), bytes.data(), status))
        return WriteResult::NoAnswer;
    return status == 0 ? WriteResult::Done : WriteResult::BadStatus;
}

}  // namespace

FieldBytes PrepareField(OnceOnlyField field, const QString& text)
{
    const FieldTexts& texts = Texts(field);
    const QString trimmed = Trimmed(text);
    FieldBytes result;
    if (trimmed.isEmpty()) {
        result.refusal = texts.empty;
        result.empty = true;
        return result;
    }
    // By code point: a character beyond the 16-bit range is one character, named whole.
    for (const char32_t c : trimmed.toUcs4()) {
        if (c > 0xFF) {
            result.refusal = FormatText("%s can not hold '%s' (U+%04X) : one byte per character, Latin-1 only",
                                        texts.name, QString::fromUcs4(&c, 1).toStdString().c_str(), unsigned(c));
            return result;
        }
        if (IsControl(c)) {
            result.refusal = FormatText("%s can not hold U+%04X : control characters cannot be shown", texts.name,
                                        unsigned(c));
            return result;
        }
    }
    if (trimmed.size() > texts.length) {
        result.refusal = FormatText("%s is too long : %d characters (%d at most)", texts.name, int(trimmed.size()),
                                    texts.length);
        return result;
    }
    const QByteArray latin1 = trimmed.toLatin1();
    const auto length = std::size_t(latin1.size());
    if (field == OnceOnlyField::SerialNumber) {
        result.bytes.assign(std::size_t(texts.length) - length, ' ');
        result.bytes.insert(result.bytes.end(), latin1.begin(), latin1.end());
        result.bytes.push_back(0);
    } else {
        result.bytes.assign(std::size_t(texts.length) + 1, kErased);
        std::copy(latin1.begin(), latin1.end(), result.bytes.begin());
        result.bytes[length] = 0;
        result.bytes[std::size_t(texts.length)] = 0;
    }
    // Only a field full of 0xFF characters reads as erased flash.
    if (FieldReadsBlank(result.bytes.data(), result.bytes.size())) {
        result.refusal = FormatText("%s can not be %d times '\u00FF' (U+00FF) : it would read back as a blank field",
                                    texts.name, texts.length);
        result.bytes.clear();
    }
    return result;
}

int FieldLength(OnceOnlyField field)
{
    return Texts(field).length;
}

FieldCheck CheckFieldWrite(OnceOnlyField field, const MachineInfo& info)
{
    if (!info.answered)
        return {FieldRefusal::NoAnswer, "No answer"};
    if (!info.factoryInfoRead)
        return {FieldRefusal::NoFactoryData, "Factory data must be downloaded first"};
    const bool written = field == OnceOnlyField::SerialNumber ? info.serialWritten : info.nameWritten;
    if (written)
        return {FieldRefusal::AlreadyWritten, Texts(field).alreadyWritten};
    return {};
}

const char* WriteResultText(WriteResult result)
{
    switch (result) {
    case WriteResult::Done: return "Done";
    case WriteResult::NoAnswer: return "No answer";
    case WriteResult::BadStatus: return "Bad status while programming";
    }
    return "";
}

std::optional<std::uint32_t> ScanHardwareOptions(const QString& displayed)
{
    unsigned value = 0;
    if (std::sscanf(displayed.toLatin1().constData(), "%x", &value) != 1)
        return std::nullopt;
    return value;
}

FieldWrite OnceOnlyWrite(OnceOnlyField field, const QString& text)
{
    FieldBytes prepared = PrepareField(field, text);
    std::string informative;
    if (!prepared.bytes.empty())
        informative = std::string(Texts(field).name) + ": \""
            + Utf8FromLatin1(FieldText(prepared.bytes.data(), prepared.bytes.size())) + "\"";
    return {.offset = field == OnceOnlyField::SerialNumber ? FactoryData::kSerialNumber : FactoryData::kMachineName,
            .bytes = std::move(prepared.bytes),
            .refusal = std::move(prepared.refusal),
            .confirmation = Texts(field).confirmation,
            .informative = std::move(informative),
            .onceOnly = field};
}

FieldWrite HardwareOptionsWrite(std::uint32_t options)
{
    FieldWrite write;
    write.offset = FactoryData::kHardwareOptions;
    write.bytes.resize(FactoryData::kHardwareOptionsSize);
    ByteOrder::PutLe24(write.bytes.data(), options);
    return write;
}

MachineControls::MachineControls(DeviceLink& link, MachineInfo& info) : link(link), info(info) {}

FieldWriteOutcome MachineControls::Write(const FieldWrite& write, Prompts& prompts, const ReadoutFirst& readoutFirst)
{
    if (!write.refusal.empty()) {
        prompts.Error(kErrorCaption, write.refusal);
        return {.stop = FieldWriteStop::TextRefused};
    }
    if (readoutFirst && !readoutFirst())
        return {.stop = FieldWriteStop::NotRead};
    if (write.onceOnly) {
        const FieldCheck check = CheckFieldWrite(*write.onceOnly, info);
        if (check.refusal != FieldRefusal::None) {
            prompts.Error(kErrorCaption, check.text);
            return {.stop = FieldWriteStop::Refused, .refusal = check.refusal};
        }
    }
    if (write.confirmation && !prompts.Confirm(kWarningCaption, write.confirmation, write.informative))
        return {.stop = FieldWriteStop::NotConfirmed};
    const WriteResult result = WriteFlashField(link, info.factoryDataAddress + write.offset,
                                               write.bytes);
    if (result != WriteResult::Done)
        prompts.Error(kErrorCaption, WriteResultText(result));
    return {.stop = FieldWriteStop::Sent, .result = result};
}

bool MachineControls::WriteField(OnceOnlyField field, const QString& text, Prompts& prompts)
{
    return Write(OnceOnlyWrite(field, text), prompts).Sent();
}

LostReplyOutcome MachineControls::ReadBackLostReply(const FieldWrite& write, const ProcedureClock& clock,
                                                   const std::function<bool()>& stop)
{
    const auto until = clock.now() + kLateReplyHold;
    do {
        ReadMachineInfo(link, info);
    } while (!(info.answered && info.factoryInfoRead) && !(stop && stop()) && clock.now() < until);

    const bool serial = write.onceOnly == OnceOnlyField::SerialNumber;
    const bool written = serial ? info.serialWritten : info.nameWritten;
    if (!write.onceOnly || !info.answered || !info.factoryInfoRead || !written)
        return {};
    const std::uint8_t* held = serial ? info.serialNumber.data() : info.machineName.data();
    const std::size_t size = serial ? info.serialNumber.size() : info.machineName.size();
    const std::string lost = std::string("The reply to the write was lost : ") + Texts(*write.onceOnly).name;
    if (std::equal(held, held + size, write.bytes.begin(), write.bytes.end()))
        return {LostReplyVerdict::AsWritten, lost + " reads back as written"};
    return {LostReplyVerdict::NotAsWritten, lost + " reads back as '" + FieldText(held, size) + "', not as written"};
}

bool MachineControls::WriteHardwareOptions(const QString& displayed, Prompts& prompts)
{
    if (const auto scanned = ScanHardwareOptions(displayed))
        info.hardwareOptions = *scanned;
    return Write(HardwareOptionsWrite(info.hardwareOptions), prompts).Sent();
}

bool MachineControls::PowerControl(std::uint8_t mode)
{
    link.Select(Command::kSelectCode);
    return link.PowerControl(mode);
}

bool MachineControls::ForceProgrammingMode(bool on)
{
    return link.SetRts(on);
}
