#pragma once

// Writers of the flash structures the readout walks, so that a test lays out
// exactly the factory area and user area it needs on the machine model.

#include "support/ModelFixture.h"

#include <cstdint>
#include <string>
#include <vector>

// The factory area as the readout finds it. Fields of 0xFFFFFF stay erased.
struct FactoryLayout {
    std::uint32_t count = 2;  // the directory lies at 0xD00006 + 3 * count
    std::uint32_t miniBootVersion = 0x010341;
    std::uint32_t factoryData = 0xD00040;
    std::uint32_t userArea = 0xD20000;
    std::uint32_t userAreaLength = 0x20000;
    std::uint32_t eraseStep = 0x10000;
    std::uint32_t programLoader = 0xD00500;
    std::uint32_t factoryDrivers = 0xD00080;
    std::uint32_t programLoaderVersion = 0x012042;
    std::vector<std::uint32_t> factoryDriverWords{0x010001, 0x011002};
    std::uint32_t hardwareVersion = 0x010200;
    std::uint32_t hardwareOptions = 0x000003;
    std::vector<std::uint8_t> serialNumber = Field("SN000042", 9);
    std::vector<std::uint8_t> machineName = Field("Bench recorder", 33);

    // Text then zero bytes, `size` in all.
    static std::vector<std::uint8_t> Field(const std::string& text, std::size_t size)
    {
        std::vector<std::uint8_t> bytes(text.begin(), text.end());
        bytes.resize(size, 0);
        return bytes;
    }

    std::uint32_t Directory() const { return 0xD00006 + 3 * count; }

    void WriteTo(ModelLink& m) const
    {
        m.PutWords(0xD00000, {count});
        if (count == 0 || count == 0xFFFFFF)
            return;
        m.PutWords(Directory(), {miniBootVersion, factoryData, userArea, userAreaLength, eraseStep,
                                 programLoader, factoryDrivers, 0, 0, 0});
        m.PutWords(factoryData, {hardwareVersion, hardwareOptions, 0});
        m.Put(factoryData + 9, serialNumber);
        m.Put(factoryData + 18, machineName);
        if (programLoader != 0 && programLoader != 0xFFFFFF)
            m.PutWords(programLoader + 3, {programLoaderVersion});
        if (factoryDrivers != 0 && factoryDrivers != 0xFFFFFF)
            m.PutDriverList(factoryDrivers, factoryDriverWords);
    }
};

// The start of the user area as a user download leaves it: the zone table's
// first two entries point at the main record and the driver list.
struct UserAreaLayout {
    std::uint32_t mainRecord = 0xD20100;
    std::uint32_t driverList = 0xD20200;
    std::uint32_t mainBootVersion = 0x020041;
    std::uint32_t program1 = 0xD20300;
    std::uint32_t program2 = 0xD20400;
    std::uint32_t program1Version = 0x020143;
    std::uint32_t program2Version = 0x010041;
    std::vector<std::uint32_t> driverWords{0x020010, 0x010511};

    void WriteTo(ModelLink& m, std::uint32_t userArea) const
    {
        m.PutWords(userArea, {mainRecord, driverList});
        if (mainRecord == 0 || mainRecord == 0xFFFFFF)
            return;
        m.PutWords(mainRecord + 3, {mainBootVersion, 0, program1, program2});
        if (program1 != 0 && program1 != 0xFFFFFF)
            m.PutWords(program1 + 3, {program1Version});
        if (program2 != 0 && program2 != 0xFFFFFF)
            m.PutWords(program2 + 3, {program2Version});
        if (driverList != 0 && driverList != 0xFFFFFF)
            m.PutDriverList(driverList, driverWords);
    }
};
