#include "operations/readout/MachineInfo.h"

#include "common/ByteOrder.h"
#include "common/FlashMap.h"
#include "common/TextFormat.h"
#include "link/DeviceLink.h"

#include <algorithm>

namespace {

constexpr const char* kDone = "Done";
constexpr const char* kNoAnswer = "No answer";
constexpr const char* kProgramMissing = "Program missing";
constexpr const char* kProgramNotPresent = "Program not present";
constexpr const char* kNoDrivers = "No drivers";

// Where each structure lies and what it holds: common/FlashMap.h.
using namespace FlashMap;

// A flash word: 24 bits, least significant byte first.
constexpr std::uint32_t Word(const std::uint8_t* at)
{
    return ByteOrder::Le24(at);
}

std::uint32_t Pointer(std::uint32_t word)
{
    return word == kErasedWord ? 0 : word;
}

// The three flags cleared and the status emptied: a readout that stops early
// never leaves a flag of an earlier one standing.
void StartReadout(MachineInfo& info)
{
    info.answered = false;
    info.factoryInfoRead = false;
    info.mainInfoRead = false;
    info.statusText.clear();
}

// Copies a serial number or machine name field and tells whether it is
// written (FieldReadsBlank); a blank field gets a zero first byte so that it
// reads as empty text.
template <std::size_t N>
bool TakeField(std::array<std::uint8_t, N>& field, const std::uint8_t* bytes)
{
    std::copy_n(bytes, N, field.begin());
    const bool written = !FieldReadsBlank(field.data(), N);
    if (!written)
        field[0] = 0;
    return written;
}

// One full readout. Each step returns false when a request failed, which ends
// the readout with "No answer".
class FullReadout {
public:
    FullReadout(DeviceLink& link, MachineInfo& info) : link(link), info(info) {}

    void Run()
    {
        StartReadout(info);
        link.Select(Command::kSelectCode);

        switch (Steps()) {
        case Outcome::NoAnswer:
            info.statusText = kNoAnswer;
            info.answered = false;
            info.mainInfoRead = false;
            break;
        case Outcome::NoFactoryData:
        case Outcome::NoMainRecord:
            info.statusText = kDone;
            info.answered = true;
            break;
        case Outcome::Complete:
            // statusText stays empty, not "Done" as after the short outcomes:
            // kept on purpose, technicians and their scripts know it.
            info.answered = true;
            info.mainInfoRead = true;
            break;
        }
    }

private:
    enum class Outcome { NoAnswer, NoFactoryData, NoMainRecord, Complete };

    Outcome Steps()
    {
        if (!link.ReadIdentity(info.hardIdent, info.flashIdent))
            return Outcome::NoAnswer;
        info.identText = IdentText(info.hardIdent, info.flashIdent);

        std::uint32_t count = 0;
        if (!ReadFlashWord(link, kFactoryAreaAddress, count))
            return Outcome::NoAnswer;
        if (Pointer(count) == 0)
            return Outcome::NoFactoryData;
        if (!ReadFactorySection(FactoryDirectoryAddress(count)))
            return Outcome::NoAnswer;
        info.factoryInfoRead = true;

        std::uint32_t mainRecord = 0;
        if (!ReadFlashWord(link, info.userAreaAddress + UserAreaTable::kMainRecordAddress, mainRecord))
            return Outcome::NoAnswer;
        mainRecord = Pointer(mainRecord);
        if (mainRecord == 0)
            return Outcome::NoMainRecord;
        return ReadMainSection(mainRecord) ? Outcome::Complete : Outcome::NoAnswer;
    }

    bool ReadFactorySection(std::uint32_t directoryAddress)
    {
        std::uint8_t directory[FactoryDirectory::kSize];
        if (!link.ReadFlashBlock(directoryAddress, sizeof directory, directory))
            return false;
        info.miniBootVersion = Word(directory + FactoryDirectory::kMiniBootVersion);
        info.miniBootText = VersionText(info.miniBootVersion);
        info.factoryDataAddress = Word(directory + FactoryDirectory::kFactoryDataAddress);
        info.userAreaAddress = Word(directory + FactoryDirectory::kUserAreaAddress);
        info.userAreaLength = Word(directory + FactoryDirectory::kUserAreaLength);
        info.eraseStep = Word(directory + FactoryDirectory::kEraseStep);
        info.programLoaderAddress = Pointer(Word(directory + FactoryDirectory::kProgramLoaderAddress));
        info.factoryDriverList = Pointer(Word(directory + FactoryDirectory::kFactoryDriverList));

        std::uint8_t data[FactoryData::kSize];
        if (!link.ReadFlashBlock(info.factoryDataAddress, sizeof data, data))
            return false;
        info.hardwareVersion = Word(data + FactoryData::kHardwareVersion);
        info.hardwareVersionText = FormatText("%06X", unsigned(info.hardwareVersion));
        info.hardwareOptions = Word(data + FactoryData::kHardwareOptions);
        info.hardwareOptionsText = FormatText("0x%06X", unsigned(info.hardwareOptions));
        info.serialWritten = TakeField(info.serialNumber, data + FactoryData::kSerialNumber);
        info.nameWritten = TakeField(info.machineName, data + FactoryData::kMachineName);

        if (info.programLoaderAddress == 0) {
            info.programLoaderText = kProgramMissing;
        } else {
            if (!ReadFlashWord(link, info.programLoaderAddress + kRecordVersion, info.programLoaderVersion))
                return false;
            info.programLoaderText = VersionText(info.programLoaderVersion);
        }
        return ReadDriverList(info.factoryDriverList, info.factoryDriversText);
    }

    bool ReadMainSection(std::uint32_t mainRecord)
    {
        if (!ReadFlashWord(link, mainRecord + kRecordVersion, info.mainBootVersion))
            return false;
        info.mainBootText = VersionText(info.mainBootVersion);

        std::uint32_t program2 = 0;
        std::uint32_t program1 = 0;
        if (!ReadFlashWord(link, mainRecord + MainRecord::kProgram2Address, program2)
            || !ReadFlashWord(link, mainRecord + MainRecord::kProgram1Address, program1))
            return false;
        if (!ReadProgramVersion(Pointer(program1), kProgramMissing, info.program1Version, info.program1Text)
            || !ReadProgramVersion(Pointer(program2), kProgramNotPresent, info.program2Version,
                                   info.program2Text))
            return false;

        std::uint32_t driverList = 0;
        if (!ReadFlashWord(link, info.userAreaAddress + UserAreaTable::kDriverListAddress, driverList))
            return false;
        return ReadDriverList(Pointer(driverList), info.driversText);
    }

    bool ReadProgramVersion(std::uint32_t record, const char* absentText, std::uint32_t& version,
                            std::string& text)
    {
        if (record == 0) {
            text = absentText;
            return true;
        }
        if (!ReadFlashWord(link, record + kRecordVersion, version))
            return false;
        text = VersionText(version);
        return true;
    }

    // Only a next address of 0xFFFFFF ends a list; 0 is followed like any
    // other address. The text is built as far as the walk gets.
    bool ReadDriverList(std::uint32_t head, std::string& text)
    {
        text.clear();
        if (head == 0) {
            text = kNoDrivers;
            return true;
        }
        std::uint32_t record = head;
        for (unsigned walked = 0; record != kErasedWord; ++walked) {
            if (walked == Readout::kMaxDriverRecords) {
                text += DriverListCutText();
                break;
            }
            std::uint8_t tail[DriverRecord::kTailSize];
            if (!link.ReadFlashBlock(record + kRecordVersion, sizeof tail, tail))
                return false;
            text += DriverText(Word(tail + DriverRecord::kDriverWord));
            record = Word(tail + DriverRecord::kNextAddress);
        }
        return true;
    }

    DeviceLink& link;
    MachineInfo& info;
};

}  // namespace

MachineInfo& TheMachineInfo()
{
    static MachineInfo info;
    return info;
}

bool FieldReadsBlank(const std::uint8_t* bytes, std::size_t size)
{
    std::size_t erased = 0;
    while (erased < size && bytes[erased] == 0xFF)
        ++erased;
    return size > 0 && erased == size - 1;
}

std::string DriverListCutText()
{
    return FormatText("(list cut after %u records)", Readout::kMaxDriverRecords);
}

bool ReadFlashWord(DeviceLink& link, std::uint32_t address, std::uint32_t& value)
{
    std::uint8_t bytes[3];
    if (!link.ReadFlashBlock(address, sizeof bytes, bytes)) {
        value = 0;
        return false;
    }
    value = Word(bytes);
    return true;
}

std::string VersionText(std::uint32_t versionWord)
{
    std::string text = FormatText("V%X.%02X ", unsigned(versionWord >> 16 & 0xFF), unsigned(versionWord >> 8 & 0xFF));
    if (const auto letter = char(versionWord & 0xFF); letter != 0)
        text += letter;
    return text;
}

std::string IdentText(std::uint32_t hardIdent, std::uint32_t flashIdent)
{
    return FormatText("Hard ident : %08lX, flash ident : %08lX", static_cast<unsigned long>(hardIdent),
                      static_cast<unsigned long>(flashIdent));
}

std::string DriverText(std::uint32_t driverWord)
{
    return FormatText("type 0x%02X V%X.%02X;  ", unsigned(driverWord & 0xFF), unsigned(driverWord >> 16 & 0xFF),
                  unsigned(driverWord >> 8 & 0xFF));
}

void ReadIdentOnly(DeviceLink& link, MachineInfo& info)
{
    StartReadout(info);
    link.Select(Command::kSelectCode);
    if (link.ReadIdentity(info.hardIdent, info.flashIdent)) {
        info.statusText = kDone;
        info.answered = true;
    } else {
        info.statusText = kNoAnswer;
    }
    info.identText = IdentText(info.hardIdent, info.flashIdent);
}

void ReadMachineInfo(DeviceLink& link, MachineInfo& info)
{
    FullReadout(link, info).Run();
}
