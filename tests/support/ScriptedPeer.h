#pragma once

#include "link/PortBackend.h"

#include <deque>
#include <string>
#include <vector>

// A PortBackend that plays the machine from a script: it records every byte
// the tool writes, answers the wake-up bytes with a chosen byte (or not at
// all) and hands out one scripted answer per request frame. Reads never wait:
// what is not there has timed out.
class ScriptedPeer final : public PortBackend {
public:
    // What the tool sent, byte for byte, since the last Clear().
    std::vector<std::uint8_t> sent;
    // Answer to the wake-up bytes; none when wakeAnswer < 0.
    int wakeAnswer = 0x04;
    // One answer per request frame, in order; a frame with no answer left gets none.
    std::deque<std::vector<std::uint8_t>> answers;
    // Bytes already waiting on the line.
    std::deque<std::uint8_t> incoming;

    bool refuseOpen = false;
    bool rtsSupported = true;
    std::string openedDevice;
    bool rts = false;
    int opens = 0, breaks = 0, purges = 0, wakeUps = 0, frames = 0;

    void Clear() { sent.clear(); wakeUps = frames = 0; }
    void Answer(std::vector<std::uint8_t> bytes) { answers.push_back(std::move(bytes)); }

    bool Open(const PortAddress& address, const LineSettings&) override
    {
        Close();
        if (refuseOpen)
            return false;
        open = true;
        rts = false;
        openedDevice = address.device;
        ++opens;
        return true;
    }
    void Close() override { open = false; }
    bool IsOpen() const override { return open; }

    bool Write(std::span<const std::uint8_t> bytes) override
    {
        sent.insert(sent.end(), bytes.begin(), bytes.end());
        if (bytes.size() == 3 && bytes[2] == 0x03 && bytes[0] != 0x02) {
            ++wakeUps;
            if (wakeAnswer >= 0)
                incoming.push_back(std::uint8_t(wakeAnswer));
        } else if (!bytes.empty() && bytes[0] == 0x02) {
            ++frames;
            if (!answers.empty()) {
                incoming.insert(incoming.end(), answers.front().begin(), answers.front().end());
                answers.pop_front();
            }
        }
        return true;
    }

    std::size_t Read(std::span<std::uint8_t> into, std::chrono::milliseconds) override
    {
        std::size_t got = 0;
        while (got < into.size() && !incoming.empty()) {
            into[got++] = incoming.front();
            incoming.pop_front();
        }
        return got;
    }

    std::size_t Pending() override { return incoming.size(); }
    void PurgeReceive() override
    {
        ++purges;
        incoming.clear();
    }
    bool SetBreak(bool on) override
    {
        breaks += on ? 1 : 0;
        return true;
    }
    bool SetRts(bool on) override
    {
        if (!rtsSupported)
            return false;
        rts = on;
        return true;
    }

private:
    bool open = false;
};

// A whole reply frame around a payload, checksum included.
std::vector<std::uint8_t> FrameOf(std::vector<std::uint8_t> payload);

// The reply frame of a command with data: class byte, sub-length, opcode, data.
std::vector<std::uint8_t> ReplyOf(std::uint8_t classByte, std::uint8_t opcode, std::vector<std::uint8_t> data);
