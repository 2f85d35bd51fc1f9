#pragma once

// A machine model with the tool's link connected to it in this process, and
// writers of the flash structures the readout walks, so that a test lays out
// exactly the factory area and user area it needs.

#include "link/DeviceLink.h"
#include "sim/MachineModel.h"
#include "sim/ModelPortBackend.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct ModelMachine {
    MachineModel machine;
    ModelPortBackend* backend;  // owned by the link
    DeviceLink link;

    explicit ModelMachine(const MachineConfig& config = {})
        : machine(config), backend(new ModelPortBackend(machine)), link(std::unique_ptr<PortBackend>(backend))
    {
        machine.EraseAllFlash();
        link.OpenPort(PortAddress::OfDevice("/dev/mirelle-model"));
    }

    // Programs bytes onto erased flash.
    void Put(std::uint32_t address, const std::vector<std::uint8_t>& bytes)
    {
        ASSERT_TRUE(machine.ApplyImage({}, address, bytes)) << std::hex << address;
    }
    void PutWords(std::uint32_t address, const std::vector<std::uint32_t>& words)
    {
        std::vector<std::uint8_t> bytes;
        for (const auto word : words) {
            bytes.push_back(std::uint8_t(word));
            bytes.push_back(std::uint8_t(word >> 8));
            bytes.push_back(std::uint8_t(word >> 16));
        }
        Put(address, bytes);
    }
    // A driver list of records 9 bytes apart from `head`, the last ending it.
    void PutDriverList(std::uint32_t head, const std::vector<std::uint32_t>& driverWords)
    {
        for (std::size_t i = 0; i < driverWords.size(); ++i) {
            const auto record = head + std::uint32_t(9 * i);
            const auto next = i + 1 < driverWords.size() ? record + 9 : 0xFFFFFFu;
            PutWords(record + 3, {driverWords[i], next});
        }
    }
    std::uint32_t Word(std::uint32_t address) const
    {
        const auto bytes = machine.ReadFlash(address, 3);
        return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16;
    }
};

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

    void WriteTo(ModelMachine& m) const
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

    void WriteTo(ModelMachine& m, std::uint32_t userArea) const
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
