#include "app/readout/MachineInfo.h"

#include "common/ByteOrder.h"
#include "common/TextFormat.h"
#include "link/DeviceLink.h"

#include <algorithm>

namespace {

constexpr const char* kDone = "Done";
constexpr const char* kNoAnswer = "No answer";
constexpr const char* kProgramMissing = "Program missing";
constexpr const char* kProgramNotPresent = "Program not present";
constexpr const char* kNoDrivers = "No drivers";

// The word at kFactoryAreaAddress counts the words between the area's head and
// the factory directory, which lies at kFactoryAreaAddress + 6 + 3 * count.
constexpr std::uint32_t kDirectoryBase = Readout::kFactoryAreaAddress + 6;

// The factory directory: ten flash words read in one request.
namespace Directory {
constexpr unsigned kSize = 30;
constexpr unsigned kMiniBootVersion = 0;
constexpr unsigned kFactoryDataAddress = 3;
constexpr unsigned kUserAreaAddress = 6;
constexpr unsigned kUserAreaLength = 9;
constexpr unsigned kEraseStep = 12;
constexpr unsigned kProgramLoaderAddress = 15;
constexpr unsigned kFactoryDriverList = 18;
}  // namespace Directory

// The factory data block, read in one request.
namespace DataBlock {
constexpr unsigned kSize = 51;
constexpr unsigned kHardwareVersion = 0;
constexpr unsigned kHardwareOptions = 3;
constexpr unsigned kSerialNumber = 9;
constexpr unsigned kMachineName = 18;
}  // namespace DataBlock

// Every record the readout visits (program loader, main record, programs,
// drivers) holds its version or driver word at this offset.
constexpr std::uint32_t kRecordVersion = 3;

// The main record: after its version word, the addresses of the two programs.
namespace MainRecord {
constexpr std::uint32_t kProgram1Address = 9;
constexpr std::uint32_t kProgram2Address = 12;
}  // namespace MainRecord

// The zone table at the start of the user area: the main record, then the
// head of the driver list.
namespace UserAreaTable {
constexpr std::uint32_t kMainRecordAddress = 0;
constexpr std::uint32_t kDriverListAddress = 3;
}  // namespace UserAreaTable

// A driver record's tail, read in one request from the record's offset 3:
// the driver word, then the address of the next record.
namespace DriverRecord {
constexpr unsigned kTailSize = 6;
constexpr unsigned kDriverWord = 0;
constexpr unsigned kNextAddress = 3;
}  // namespace DriverRecord

// A flash word: 24 bits, least significant byte first.
constexpr std::uint32_t Word(const std::uint8_t* at)
{
    return ByteOrder::Le24(at);
}

std::uint32_t Pointer(std::uint32_t word)
{
    return word == Readout::kErasedWord ? 0 : word;
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
// written. The field is blank when exactly its first size - 1 bytes are 0xFF
// (the last byte is not); a blank field gets a zero first byte so that it
// reads as empty text.
template <std::size_t N>
bool TakeField(std::array<std::uint8_t, N>& field, const std::uint8_t* bytes)
{
    std::copy_n(bytes, N, field.begin());
    std::size_t erased = 0;
    while (erased < N && field[erased] == 0xFF)
        ++erased;
    const bool written = erased != N - 1;
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
        if (!ReadFlashWord(link, Readout::kFactoryAreaAddress, count))
            return Outcome::NoAnswer;
        if (Pointer(count) == 0)
            return Outcome::NoFactoryData;
        if (!ReadFactorySection(kDirectoryBase + 3 * count))
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
        std::uint8_t directory[Directory::kSize];
        if (!link.ReadFlashBlock(directoryAddress, sizeof directory, directory))
            return false;
        info.miniBootVersion = Word(directory + Directory::kMiniBootVersion);
        info.miniBootText = VersionText(info.miniBootVersion);
        info.factoryDataAddress = Word(directory + Directory::kFactoryDataAddress);
        info.userAreaAddress = Word(directory + Directory::kUserAreaAddress);
        info.userAreaLength = Word(directory + Directory::kUserAreaLength);
        info.eraseStep = Word(directory + Directory::kEraseStep);
        info.programLoaderAddress = Pointer(Word(directory + Directory::kProgramLoaderAddress));
        info.factoryDriverList = Pointer(Word(directory + Directory::kFactoryDriverList));

        std::uint8_t data[DataBlock::kSize];
        if (!link.ReadFlashBlock(info.factoryDataAddress, sizeof data, data))
            return false;
        info.hardwareVersion = Word(data + DataBlock::kHardwareVersion);
        info.hardwareVersionText = FormatText("%06X", unsigned(info.hardwareVersion));
        info.hardwareOptions = Word(data + DataBlock::kHardwareOptions);
        info.hardwareOptionsText = FormatText("0x%06X", unsigned(info.hardwareOptions));
        info.serialWritten = TakeField(info.serialNumber, data + DataBlock::kSerialNumber);
        info.nameWritten = TakeField(info.machineName, data + DataBlock::kMachineName);

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
        for (unsigned walked = 0; record != Readout::kErasedWord; ++walked) {
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
