#pragma once

#include "common/FlashMap.h"

#include <array>
#include <cstdint>
#include <string>

class DeviceLink;

// What the last readout found in the machine. A readout first clears the three
// flags and statusText, then overwrites values and texts only as far as it
// gets; what it did not reach keeps the values of an earlier readout.
// Texts hold the machine's bytes one byte per character (Latin-1).
struct MachineInfo {
    bool answered = false;         // identity read and a conclusive outcome reached
    bool factoryInfoRead = false;  // factory directory, data block, loader and factory drivers read
    bool mainInfoRead = false;     // main record, programs and drivers read

    std::uint32_t hardIdent = 0;
    std::uint32_t flashIdent = 0;

    // From the factory directory (24-bit values).
    std::uint32_t miniBootVersion = 0;
    std::uint32_t factoryDataAddress = 0;
    std::uint32_t userAreaAddress = 0;
    std::uint32_t userAreaLength = 0;
    std::uint32_t eraseStep = 0;
    std::uint32_t programLoaderAddress = 0;  // 0 when absent
    std::uint32_t factoryDriverList = 0;     // 0 when absent

    // From the factory data block.
    std::uint32_t hardwareVersion = 0;
    std::uint32_t hardwareOptions = 0;
    std::array<std::uint8_t, FlashMap::FactoryData::kSerialNumberSize> serialNumber{};  // first byte zeroed when blank
    bool serialWritten = false;
    std::array<std::uint8_t, FlashMap::FactoryData::kMachineNameSize> machineName{};  // first byte zeroed when blank
    bool nameWritten = false;

    std::uint32_t programLoaderVersion = 0;
    std::uint32_t mainBootVersion = 0;
    std::uint32_t program1Version = 0;
    std::uint32_t program2Version = 0;

    std::string statusText;  // empty, "Done" or "No answer"
    std::string identText;
    std::string miniBootText;
    std::string programLoaderText;
    std::string mainBootText;
    std::string program1Text;
    std::string program2Text;
    std::string hardwareVersionText;
    std::string hardwareOptionsText;
    std::string factoryDriversText;
    std::string driversText;
};

// The process-wide record of the last readout, alive for the whole run. Only
// a program's entry reaches it, to hand it on in the ToolContext.
MachineInfo& TheMachineInfo();

namespace Readout {
// A driver list is followed for at most this many records. Real lists hold a
// handful; a longer one is a loop or garbage, and its text then ends with
// DriverListCutText() instead of the readout hanging.
constexpr unsigned kMaxDriverRecords = 100;
}  // namespace Readout

// Whether a once-only field's bytes read as blank: exactly its first
// size - 1 bytes are 0xFF (erased); its last byte is the end mark.
bool FieldReadsBlank(const std::uint8_t* bytes, std::size_t size);

// "(list cut after 100 records)": closes the text of a list that was cut.
std::string DriverListCutText();

// The short readout: wake-up and identity only. Leaves factoryInfoRead and
// mainInfoRead false.
void ReadIdentOnly(DeviceLink& link, MachineInfo& info);

// The full readout: identity, factory directory and data block, program
// loader, factory drivers, then the user area's main record, programs and
// drivers. Stops at the first failed request with statusText "No answer".
void ReadMachineInfo(DeviceLink& link, MachineInfo& info);

// Reads the 24-bit flash word (3 bytes, least significant first) at address.
// False and value 0 when the request fails.
bool ReadFlashWord(DeviceLink& link, std::uint32_t address, std::uint32_t& value);

// "V%X.%02X %c" of a version word; a letter byte of 0 ends the text after the blank.
std::string VersionText(std::uint32_t versionWord);
// "Hard ident : %08lX, flash ident : %08lX": the identity line.
std::string IdentText(std::uint32_t hardIdent, std::uint32_t flashIdent);
// "type 0x%02X V%X.%02X;  " of a driver word.
std::string DriverText(std::uint32_t driverWord);
