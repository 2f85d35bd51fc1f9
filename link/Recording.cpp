#include "link/Recording.h"

#include "common/TextFormat.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

constexpr const char* kKindNames[] = {"open", "write", "read", "purge", "break", "rts", "close"};

// Names and devices are single words: blanks, '%' and bytes outside printable
// ASCII are written as %XX.
std::string Escaped(const std::string& text)
{
    if (text.empty())
        return "-";
    std::string word;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || c == '%' || (text.size() == 1 && c == '-'))
            word += FormatText("%%%02X", unsigned(byte));
        else
            word += c;
    }
    return word;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool Unescaped(std::string_view word, std::string& text)
{
    text.clear();
    if (word == "-")
        return true;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (word[i] != '%') {
            text += word[i];
            continue;
        }
        if (i + 2 >= word.size())
            return false;
        const int high = HexDigit(word[i + 1]), low = HexDigit(word[i + 2]);
        if (high < 0 || low < 0)
            return false;
        text += char(high * 16 + low);
        i += 2;
    }
    return true;
}

std::vector<std::string_view> Words(std::string_view line)
{
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t end = std::min(line.find(' ', at), line.size());
        if (end > at)
            words.push_back(line.substr(at, end - at));
        at = end + 1;
    }
    return words;
}

template <typename Number>
bool ParseNumber(std::string_view word, Number& value)
{
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    return !word.empty() && error == std::errc() && end == word.data() + word.size();
}

const char* ParityName(Parity parity)
{
    return parity == Parity::None ? "none" : parity == Parity::Odd ? "odd" : "even";
}

// The fields after the time and the kind; an empty text when they are good.
std::string ParseFields(LineEvent& event, const std::vector<std::string_view>& words)
{
    const std::size_t n = words.size();
    auto flag = [&](std::size_t at, std::string_view word) { return n == at + 1 && words[at] == word; };
    switch (event.kind) {
    case LineEvent::Kind::Open: {
        if (n != 8 || !Unescaped(words[2], event.name) || !Unescaped(words[3], event.device)
            || !ParseNumber(words[4], event.settings.baudRate))
            return "an open needs NAME DEVICE BAUD PARITY STOP ok|failed";
        const auto parity = words[5];
        if (parity == "none" || parity == "odd" || parity == "even")
            event.settings.parity = parity == "none" ? Parity::None : parity == "odd" ? Parity::Odd : Parity::Even;
        else
            return "parity is none, odd or even";
        if (words[6] != "1" && words[6] != "2")
            return "stop bits are 1 or 2";
        event.settings.stopBits = words[6] == "1" ? StopBits::One : StopBits::Two;
        if (words[7] != "ok" && words[7] != "failed")
            return "an open ends with ok or failed";
        event.done = words[7] == "ok";
        return "";
    }
    case LineEvent::Kind::Write:
        if ((n != 3 && !flag(3, "failed")) || !ParseHexBytes(words[2], event.bytes))
            return "a write needs its bytes in hexadecimal, then perhaps 'failed'";
        event.done = n == 3;
        return "";
    case LineEvent::Kind::Read:
        if ((n != 4 && !flag(4, "timeout")) || !ParseNumber(words[2], event.requested)
            || !ParseHexBytes(words[3], event.bytes) || event.bytes.size() > event.requested)
            return "a read needs the count asked for, at most that many bytes, then perhaps 'timeout'";
        event.done = n == 4;
        if (event.done != (event.bytes.size() == event.requested))
            return "a read times out exactly when it got fewer bytes than it asked for";
        return "";
    case LineEvent::Kind::Purge:
        if (n != 3 || !ParseHexBytes(words[2], event.bytes))
            return "a purge needs the bytes it discarded in hexadecimal ('-' for none)";
        return "";
    case LineEvent::Kind::Break:
    case LineEvent::Kind::Rts:
        if ((n != 3 && !flag(3, "failed")) || (words[2] != "on" && words[2] != "off"))
            return "a break or rts change needs on or off, then perhaps 'failed'";
        event.on = words[2] == "on";
        event.done = n == 3;
        return "";
    case LineEvent::Kind::Close:
        return n == 2 ? "" : "a close takes nothing more";
    }
    return "unknown event";
}

std::string ParseEvent(std::string_view line, LineEvent& event)
{
    const std::vector<std::string_view> words = Words(line);
    if (words.size() < 2 || !ParseNumber(words[0], event.micros) || event.micros < 0)
        return "an event starts with its time in microseconds and its kind";
    bool known = false;
    for (std::size_t k = 0; k < std::size(kKindNames); ++k) {
        if (words[1] == kKindNames[k]) {
            event.kind = LineEvent::Kind(k);
            known = true;
        }
    }
    if (!known)
        return "unknown event '" + std::string(words[1]) + "'";
    return ParseFields(event, words);
}

}  // namespace

std::string HexBytes(std::span<const std::uint8_t> bytes)
{
    if (bytes.empty())
        return "-";
    std::string hex;
    for (const auto byte : bytes)
        hex += FormatText("%02X", unsigned(byte));
    return hex;
}

bool ParseHexBytes(std::string_view text, std::vector<std::uint8_t>& bytes)
{
    bytes.clear();
    if (text == "-")
        return true;
    if (text.empty() || text.size() % 2 != 0)
        return false;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = HexDigit(text[i]), low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0)
            return false;
        bytes.push_back(std::uint8_t(high * 16 + low));
    }
    return true;
}

std::string FormatLineEvent(const LineEvent& event)
{
    std::string line = std::to_string(event.micros) + " " + kKindNames[int(event.kind)];
    switch (event.kind) {
    case LineEvent::Kind::Open:
        line += " " + Escaped(event.name) + " " + Escaped(event.device) + " " + std::to_string(event.settings.baudRate)
            + " " + ParityName(event.settings.parity) + (event.settings.stopBits == StopBits::One ? " 1" : " 2")
            + (event.done ? " ok" : " failed");
        break;
    case LineEvent::Kind::Write:
        line += " " + HexBytes(event.bytes) + (event.done ? "" : " failed");
        break;
    case LineEvent::Kind::Read:
        line += " " + std::to_string(event.requested) + " " + HexBytes(event.bytes) + (event.done ? "" : " timeout");
        break;
    case LineEvent::Kind::Purge:
        line += " " + HexBytes(event.bytes);
        break;
    case LineEvent::Kind::Break:
    case LineEvent::Kind::Rts:
        line += std::string(event.on ? " on" : " off") + (event.done ? "" : " failed");
        break;
    case LineEvent::Kind::Close:
        break;
    }
    return line;
}

Recording ParseRecording(std::string_view text)
{
    Recording recording;
    const std::size_t whole = text.rfind('\n');
    recording.cutShort = whole == std::string_view::npos ? !text.empty() : whole + 1 < text.size();
    const std::string_view lines = whole == std::string_view::npos ? std::string_view() : text.substr(0, whole + 1);
    std::size_t number = 0;
    for (std::size_t at = 0; at < lines.size();) {
        const std::size_t end = lines.find('\n', at);
        std::string_view line = lines.substr(at, end - at);
        at = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (number == 1) {
            if (line != kRecordingHeader) {
                recording.error = "line 1: not a recording of the line (\"" + std::string(kRecordingHeader)
                    + "\" expected)";
                return recording;
            }
            continue;
        }
        LineEvent event;
        if (const std::string error = ParseEvent(line, event); !error.empty()) {
            recording.error = "line " + std::to_string(number) + ": " + error;
            return recording;
        }
        recording.events.push_back(std::move(event));
    }
    if (number == 0 && !recording.cutShort)
        recording.error = "the file is empty";
    else if (number == 0)
        recording.error = "line 1: not a recording of the line (\"" + std::string(kRecordingHeader) + "\" expected)";
    return recording;
}

Recording ReadRecordingFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        Recording recording;
        recording.error = "cannot read " + path;
        return recording;
    }
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return ParseRecording(text);
}
