#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

// The readable view of what crossed the line, by the link's own frame and
// command definitions (DeviceLink.h): what a request asked for and what its
// answer said. For recordings: mirelle-cli decode, the replaying simulator.

struct DecodedRequest {
    enum class Shape { Frame, WakeUp, Raw };
    Shape shape = Shape::Raw;
    std::uint8_t classByte = 0;
    std::uint8_t opcode = 0;
    std::string command;                 // "ReadMemory", "wake-up", "raw" or "unknown 7E/09"
    std::optional<std::uint32_t> address;
    std::optional<unsigned> count;       // words or bytes, as the command counts
    std::optional<std::uint8_t> mode;    // PowerControl
    std::string text;                    // the command and its fields on one line
};

struct DecodedReply {
    bool answered = false;  // any byte came
    bool failure = false;   // no answer, a malformed answer, or a status that reports an error
    std::optional<std::uint8_t> status;
    std::string text;       // "ack", "status 0x02", "no answer" ...
};

DecodedRequest DecodeRequest(std::span<const std::uint8_t> bytes);
// The answer to `request`: every byte the tool read after it.
DecodedReply DecodeReply(const DecodedRequest& request, std::span<const std::uint8_t> bytes);
