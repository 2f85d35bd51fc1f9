#pragma once

// The consistent set of sample files: a factory image for the simulated
// machine, a user program that fits its user area, a boot program and a
// symbol file. make-samples writes them; mirelle-sim applies the factory image
// at start; tests use the contents directly.

#include "common/FlashMap.h"
#include "samples/FileWriters.h"

#include <cstdint>
#include <string>
#include <vector>

namespace SampleLayout {
// Identities of the simulated machine and of the sample factory image.
constexpr std::uint32_t kHardIdent = 0x4D520001;
constexpr std::uint32_t kFlashIdent = 0x000122DA;

// Factory area, from 0xD00000. The first word counts the mini boot vectors
// that follow the mini boot entry word; the directory comes after them.
constexpr std::uint32_t kFactoryBase = FlashMap::kFactoryAreaAddress;
constexpr std::uint32_t kMiniBootVectorCount = 3;
constexpr std::uint32_t kFactoryDirectory = FlashMap::FactoryDirectoryAddress(kMiniBootVectorCount);  // 0xD0000F
constexpr std::uint32_t kFactoryData = 0xD00040;
constexpr std::uint32_t kFactoryDrivers = 0xD00080;
constexpr std::uint32_t kMiniBootCode = 0xD00100;
constexpr std::uint32_t kMiniBootCodeLength = 0x400;
constexpr std::uint32_t kProgramLoader = 0xD00500;
constexpr std::uint32_t kFactoryImageLength = 0xB00;
constexpr std::uint32_t kEraseVectors[] = {kFactoryBase, kFactoryBase + 0x10000};

constexpr std::uint32_t kUserArea = 0xD20000;
constexpr std::uint32_t kUserAreaLength = 0x40000;
constexpr std::uint32_t kEraseStep = 0x10000;

constexpr std::uint32_t kMiniBootVersion = 0x010341;       // V1.03 A
constexpr std::uint32_t kProgramLoaderVersion = 0x012042;  // V1.20 B
constexpr std::uint32_t kHardwareVersion = 0x010200;
constexpr std::uint32_t kHardwareOptions = 0x000003;
constexpr std::uint32_t kFactoryDriverWords[] = {0x010001, 0x011002};  // type 0x01 V1.00, type 0x02 V1.10

// User program: four zones (main record and main boot, drivers, program 1,
// program 2), written behind a zone table of five entries.
constexpr std::uint32_t kUserZoneSizes[] = {0x200, 0xD2, 0x300, 0x180};
constexpr std::uint32_t kUserSoftwareVersion = 0x020143;  // V2.01C
constexpr std::uint32_t kMainBootVersion = 0x020041;      // V2.00 A
constexpr std::uint32_t kProgram1Version = 0x020143;      // V2.01 C
constexpr std::uint32_t kProgram2Version = 0x010041;      // V1.00 A
constexpr std::uint32_t kDriverWords[] = {0x020010, 0x010511};  // type 0x10 V2.00, type 0x11 V1.05
// Where the data lands on the sample machine: behind the zone table.
constexpr std::uint32_t kUserProgramBase = kUserArea + 3 * 4 + 3;  // 0xD2000F

// Boot program: P words at 0x40..0xB7 and 0xC0..0xD7, run from 0x40.
constexpr std::uint32_t kBootRunAddress = 0x40;
constexpr std::uint32_t kBootEndAddress = 0xD8;
}  // namespace SampleLayout

FactoryImageContent SampleFactoryImage();
UserProgramContent SampleUserProgram();
BootProgramContent SampleBootProgram();
std::vector<SymbolContent> SampleSymbols();

struct SampleFile {
    std::string name;
    FileBytes bytes;
};
// Every sample file with its name, in a fixed order.
std::vector<SampleFile> SampleFiles();
