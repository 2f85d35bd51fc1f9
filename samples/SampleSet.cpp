#include "samples/SampleSet.h"

#include <iterator>

using namespace FlashMap;
using namespace SampleLayout;

namespace {

// A flash word: 24 bits, least significant byte first.
void PutWord(std::vector<std::uint8_t>& bytes, std::uint32_t offset, std::uint32_t value)
{
    bytes.at(offset) = std::uint8_t(value);
    bytes.at(offset + 1) = std::uint8_t(value >> 8);
    bytes.at(offset + 2) = std::uint8_t(value >> 16);
}

// Stand-in machine code: 24-bit words from a fixed linear congruential
// sequence, so that every run of the generator makes the same bytes.
std::vector<std::uint32_t> CodeWords(std::uint32_t seed, std::size_t count)
{
    std::vector<std::uint32_t> words;
    words.reserve(count);
    std::uint32_t state = seed;
    for (std::size_t i = 0; i < count; ++i) {
        state = state * 1664525u + 1013904223u;
        words.push_back(state >> 8);
    }
    return words;
}

// A driver record at `offset`: its code address, then its tail.
void PutDriverRecord(std::vector<std::uint8_t>& bytes, std::uint32_t offset, std::uint32_t code,
                     std::uint32_t driverWord, std::uint32_t next)
{
    PutWord(bytes, offset, code);
    PutWord(bytes, offset + kRecordVersion + DriverRecord::kDriverWord, driverWord);
    PutWord(bytes, offset + kRecordVersion + DriverRecord::kNextAddress, next);
}

void PutCode(std::vector<std::uint8_t>& bytes, std::uint32_t offset, std::uint32_t length, std::uint32_t seed)
{
    const auto words = CodeWords(seed, (length + 2) / 3);
    for (std::uint32_t i = 0; i < length; ++i)
        bytes.at(offset + i) = std::uint8_t(words[i / 3] >> (8 * (i % 3)));
}

}  // namespace

FactoryImageContent SampleFactoryImage()
{
    FactoryImageContent content;
    content.hardIdent = kHardIdent;
    content.flashIdent = kFlashIdent;
    content.eraseVectors.assign(std::begin(kEraseVectors), std::end(kEraseVectors));
    auto& image = content.image;
    image.assign(kFactoryImageLength, 0xFF);  // what is not written stays erased
    const auto at = [](std::uint32_t address) { return address - kFactoryBase; };

    // Head: the vector count, the mini boot entry, the mini boot vectors.
    PutWord(image, 0, kMiniBootVectorCount);
    PutWord(image, kWordSize, kMiniBootCode);
    for (std::uint32_t i = 0; i < kMiniBootVectorCount; ++i)
        PutWord(image, kFactoryHeadSize + kWordSize * i, kMiniBootCode + 0x80 * i);

    // Factory directory; its last three words stay erased.
    const std::uint32_t directory = at(kFactoryDirectory);
    PutWord(image, directory + FactoryDirectory::kMiniBootVersion, kMiniBootVersion);
    PutWord(image, directory + FactoryDirectory::kFactoryDataAddress, kFactoryData);
    PutWord(image, directory + FactoryDirectory::kUserAreaAddress, kUserArea);
    PutWord(image, directory + FactoryDirectory::kUserAreaLength, kUserAreaLength);
    PutWord(image, directory + FactoryDirectory::kEraseStep, kEraseStep);
    PutWord(image, directory + FactoryDirectory::kProgramLoaderAddress, kProgramLoader);
    PutWord(image, directory + FactoryDirectory::kFactoryDriverList, kFactoryDrivers);

    // Factory data block: hardware version and options; the word after them,
    // the serial number and the machine name stay blank (0xFF) up to the zero
    // byte that ends each field, so that both can be written once.
    const std::uint32_t data = at(kFactoryData);
    PutWord(image, data + FactoryData::kHardwareVersion, kHardwareVersion);
    PutWord(image, data + FactoryData::kHardwareOptions, kHardwareOptions);
    image.at(data + FactoryData::kSerialNumber + FactoryData::kSerialNumberSize - 1) = 0x00;
    image.at(data + FactoryData::kMachineName + FactoryData::kMachineNameSize - 1) = 0x00;

    // Two factory driver records of three words: code address, driver word, next.
    const std::uint32_t second = kFactoryDrivers + 9;
    PutDriverRecord(image, at(kFactoryDrivers), kMiniBootCode + 0x300, kFactoryDriverWords[0], second);
    PutDriverRecord(image, at(second), kMiniBootCode + 0x380, kFactoryDriverWords[1], kErasedWord);

    PutCode(image, at(kMiniBootCode), kMiniBootCodeLength, 0x1B00);

    // Program loader record: entry address, version word, then its code.
    PutWord(image, at(kProgramLoader), kProgramLoader + 6);
    PutWord(image, at(kProgramLoader) + kRecordVersion, kProgramLoaderVersion);
    PutCode(image, at(kProgramLoader) + 6, kFactoryImageLength - at(kProgramLoader) - 6, 0x7E10);
    return content;
}

UserProgramContent SampleUserProgram()
{
    UserProgramContent content;
    content.hardware = kHardwareVersion;
    content.softwareVersion = kUserSoftwareVersion;
    content.zoneSizes.assign(std::begin(kUserZoneSizes), std::end(kUserZoneSizes));
    std::uint32_t zone[4];
    std::uint32_t total = 0;
    for (int i = 0; i < 4; ++i) {
        zone[i] = total;
        total += kUserZoneSizes[i];
    }
    auto& data = content.data;
    data.assign(total, 0);
    // Addresses inside the data are relative to its start; each is listed as a
    // vector so that the download moves it to where the data lands.
    const auto address = [&content, &data](std::uint32_t offset, std::uint32_t relative) {
        PutWord(data, offset, relative);
        content.vectors.push_back(offset);
    };

    // Zone 0: the main record (entry, main boot version, driver list,
    // program 1 record, program 2 record), then the main boot code.
    address(zone[0], zone[0] + 15);
    PutWord(data, zone[0] + kRecordVersion, kMainBootVersion);
    address(zone[0] + MainRecord::kDriverListAddress, zone[1]);
    address(zone[0] + MainRecord::kProgram1Address, zone[2]);
    address(zone[0] + MainRecord::kProgram2Address, zone[3]);
    PutCode(data, zone[0] + 15, kUserZoneSizes[0] - 15, 0x3A1);

    // Zone 1: two driver records (code address, driver word, next), then their code.
    const std::uint32_t second = zone[1] + 9, code = zone[1] + 18;
    address(zone[1], code);
    PutWord(data, zone[1] + kRecordVersion + DriverRecord::kDriverWord, kDriverWords[0]);
    address(zone[1] + kRecordVersion + DriverRecord::kNextAddress, second);
    address(second, code + 0x60);
    PutWord(data, second + kRecordVersion + DriverRecord::kDriverWord, kDriverWords[1]);
    address(second + kRecordVersion + DriverRecord::kNextAddress, kErasedWord);  // the end of the list stays the end
    PutCode(data, code, kUserZoneSizes[1] - 18, 0xD21);

    // Zones 2 and 3: program 1 and program 2 records (entry, version), then code.
    address(zone[2], zone[2] + 6);
    PutWord(data, zone[2] + kRecordVersion, kProgram1Version);
    PutCode(data, zone[2] + 6, kUserZoneSizes[2] - 6, 0x901);
    address(zone[3], zone[3] + 6);
    PutWord(data, zone[3] + kRecordVersion, kProgram2Version);
    PutCode(data, zone[3] + 6, kUserZoneSizes[3] - 6, 0x902);
    return content;
}

BootProgramContent SampleBootProgram()
{
    // Records need not come in address order; the gap 0xB8..0xBF is sent as
    // zero words.
    BootProgramContent content;
    content.records.push_back(BootRecord::PData(0xC0, CodeWords(0xB2, kBootEndAddress - 0xC0)));
    content.records.push_back(BootRecord::PData(kBootRunAddress, CodeWords(0xB1, 0xB8 - kBootRunAddress)));
    content.records.push_back(BootRecord::RunAddress(kBootRunAddress));
    content.records.push_back(BootRecord::End());
    return content;
}

std::vector<SymbolContent> SampleSymbols()
{
    constexpr std::uint32_t entry = 1, interrupt = 2, x = 0x100, y = 0x200, p = 0x400;
    return {
        {"start", "main", "mainprog", 0x0040, entry | p},
        {"Timer_IRQ", "main", "mainprog", 0x0060, interrupt | p},
        {"sample_rate", "audio", "mainprog", 0x0100, x},
        {"gain", "audio", "mainprog", 0x0010, y},
        {"gain", "mixer", "mainprog", 0x0011, y},
        {"status", "io", "", 0x0020, x},
        {"counter", "", "", 0x0004, 0},
        {"init", "uart", "drivers", 0x01C0, entry | p},
        {"rx_int", "uart", "drivers", 0x0200, interrupt | p},
        {"rx_count", "uart", "drivers", 0x0030, x},
    };
}

std::vector<SampleFile> SampleFiles()
{
    return {
        {"sample-factory.tbf", FactoryImageBytes(SampleFactoryImage())},
        {"sample-user.tbu", UserProgramBytes(SampleUserProgram())},
        {"sample-boot.tb", BootProgramBytes(SampleBootProgram())},
        {"mainprog.tfs", SymbolFileBytes(SampleSymbols())},
    };
}
