#pragma once

#include "link/DeviceLink.h"
#include "sim/MachineModel.h"
#include "sim/ModelPortBackend.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

// A machine model and the tool's link connected to it in this process, the
// port open and the flash erased.
struct ModelLink {
    MachineModel machine;
    ModelPortBackend* backend;  // owned by the link
    DeviceLink link;

    explicit ModelLink(const MachineConfig& config = {})
        : machine(config), backend(new ModelPortBackend(machine)),
          link(std::unique_ptr<PortBackend>(backend))
    {
        link.OpenPort(PortAddress::OfDevice("/dev/mirelle-model"));
    }

    // What the tool does before it reads the machine: a fresh wake-up exchange.
    void Wake() { link.Select(Command::kSelectCode); }

    // Polls ReadFlashStatus until it stops reading busy; the last status, or
    // -1 when a poll fails or the erase never ends.
    int PollUntilDone(int maxPolls = 100000)
    {
        for (int i = 0; i < maxPolls; ++i) {
            std::uint8_t status = 0;
            if (!link.ReadFlashStatus(status))
                return -1;
            if (status != MachineModel::kStatusBusy)
                return status;
        }
        return -1;
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

// Feeds bytes straight into a model and returns everything it answers by the
// time `after` has passed.
inline std::vector<std::uint8_t> Exchange(MachineModel& machine, std::vector<std::uint8_t> request,
                                          SimTime after = SimTime::zero())
{
    machine.Feed(request);
    machine.Advance(after);
    std::vector<std::uint8_t> answer(machine.PendingOutput());
    answer.resize(machine.TakeOutput(answer));
    return answer;
}

// A request frame around a payload: 02, length, payload, checksum.
inline std::vector<std::uint8_t> FrameOf(std::vector<std::uint8_t> payload)
{
    std::vector<std::uint8_t> frame(payload.size() + 3);
    frame[0] = 0x02;
    frame[1] = std::uint8_t(payload.size());
    std::copy(payload.begin(), payload.end(), frame.begin() + 2);
    frame.back() = Frame::Checksum(std::uint8_t(payload.size()), payload);
    return frame;
}

inline std::uint32_t Le24(std::span<const std::uint8_t> bytes, std::size_t at = 0)
{
    return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 | std::uint32_t(bytes[at + 2]) << 16;
}
