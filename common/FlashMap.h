#pragma once

#include <cstdint>

// The machine's flash as the tool knows it. A flash word is 24 bits in 3
// bytes, least significant first (ByteOrder::Le24); offsets are bytes from
// the start of their structure.
//
//   0xD00000           factory area: word count, mini boot entry, the counted words
//   directory          at 0xD00000 + 6 + 3 * count: versions, lengths, addresses
//   factory data       hardware version and options, serial number, machine name
//   user area          zone table (main record, driver list, ...), then the zones
//   main record        version, then the addresses of program 1 and program 2
//   driver records     a list, each ending in its driver word and the next address
namespace FlashMap {

constexpr std::uint32_t kWordSize = 3;
// A word of erased flash. As an address it stands for none: a structure
// that is absent, or the end of a list.
constexpr std::uint32_t kErasedWord = 0xFFFFFF;

// The factory area, where the factory image is written from its first byte.
// Its first word counts the words between the area's head (that word and the
// mini boot entry) and the factory directory.
constexpr std::uint32_t kFactoryAreaAddress = 0xD00000;
constexpr std::uint32_t kFactoryHeadSize = 6;
constexpr std::uint32_t FactoryDirectoryAddress(std::uint32_t count)
{
    return kFactoryAreaAddress + kFactoryHeadSize + kWordSize * count;
}

// The factory directory: ten words, read in one request.
namespace FactoryDirectory {
constexpr std::uint32_t kMiniBootVersion = 0;
constexpr std::uint32_t kFactoryDataAddress = 3;
constexpr std::uint32_t kUserAreaAddress = 6;
constexpr std::uint32_t kUserAreaLength = 9;
constexpr std::uint32_t kEraseStep = 12;
constexpr std::uint32_t kProgramLoaderAddress = 15;
constexpr std::uint32_t kFactoryDriverList = 18;
constexpr std::uint32_t kSize = 30;
}  // namespace FactoryDirectory

// The factory data block, read in one request. The serial number and the
// machine name end in a zero byte: they hold one character less than their size.
namespace FactoryData {
constexpr std::uint32_t kHardwareVersion = 0;
constexpr std::uint32_t kHardwareVersionSize = 3;
constexpr std::uint32_t kHardwareOptions = 3;
constexpr std::uint32_t kHardwareOptionsSize = 3;
constexpr std::uint32_t kSerialNumber = 9;
constexpr std::uint32_t kSerialNumberSize = 9;
constexpr std::uint32_t kMachineName = 18;
constexpr std::uint32_t kMachineNameSize = 33;
constexpr std::uint32_t kSize = 51;
}  // namespace FactoryData

// The zone table at the start of the user area: the address of the main
// record, then the head of the driver list.
namespace UserAreaTable {
constexpr std::uint32_t kMainRecordAddress = 0;
constexpr std::uint32_t kDriverListAddress = 3;
}  // namespace UserAreaTable

// Every record the readout visits (program loader, main record, programs,
// drivers) starts with its entry address and holds its version or driver
// word at this offset.
constexpr std::uint32_t kRecordVersion = 3;

// The main record: after its version word, the head of its driver list (the
// readout takes the list from the zone table) and the addresses of the two programs.
namespace MainRecord {
constexpr std::uint32_t kDriverListAddress = 6;
constexpr std::uint32_t kProgram1Address = 9;
constexpr std::uint32_t kProgram2Address = 12;
}  // namespace MainRecord

// A driver record's tail, from kRecordVersion on, read in one request: the
// driver word, then the address of the next record.
namespace DriverRecord {
constexpr std::uint32_t kTailSize = 6;
constexpr std::uint32_t kDriverWord = 0;
constexpr std::uint32_t kNextAddress = 3;
}  // namespace DriverRecord

}  // namespace FlashMap
