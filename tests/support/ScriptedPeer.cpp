#include "support/ScriptedPeer.h"

std::vector<std::uint8_t> FrameOf(std::vector<std::uint8_t> payload)
{
    std::vector<std::uint8_t> frame{0x02, std::uint8_t(payload.size())};
    frame.insert(frame.end(), payload.begin(), payload.end());
    unsigned sum = 0;
    for (std::size_t i = 1; i < frame.size(); ++i)
        sum += frame[i];
    frame.push_back(std::uint8_t(0x100 - (sum & 0xFF)));
    return frame;
}

std::vector<std::uint8_t> ReplyOf(std::uint8_t classByte, std::uint8_t opcode, std::vector<std::uint8_t> data)
{
    std::vector<std::uint8_t> payload{classByte, std::uint8_t(data.size() + 1), opcode};
    payload.insert(payload.end(), data.begin(), data.end());
    return FrameOf(std::move(payload));
}
