#include "link/Recording.h"

#include "common/TextFormat.h"

#include <QFile>

#include <charconv>
#include <cstdio>
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

std::string FormatRecordingEnd(std::uint64_t events)
{
    return "end " + std::to_string(events);
}

// Where the lines come from: a file, read a byte at a time through its
// buffer, or text in memory.
struct RecordingReader::Source {
    QFile file;
    std::string_view text;
    std::size_t at = 0;
    bool inMemory = false;

    // The next byte, or EOF at the end and at an error of the read.
    int Get()
    {
        if (inMemory)
            return at < text.size() ? static_cast<unsigned char>(text[at++]) : EOF;
        char c = 0;
        return file.getChar(&c) ? static_cast<unsigned char>(c) : EOF;
    }
};

RecordingReader::RecordingReader() : source(std::make_unique<Source>()) {}
RecordingReader::~RecordingReader() = default;

bool RecordingReader::Open(const std::string& path)
{
    source->file.setFileName(QFile::decodeName(path.c_str()));
    if (!source->file.open(QIODevice::ReadOnly))
        return Fail("cannot read " + path + ": " + source->file.errorString().toStdString());
    if (!ReadHeader() && source->file.error() != QFileDevice::NoError) {
        error = "cannot read " + path + ": " + source->file.errorString().toStdString();
        return false;
    }
    return version != 0;
}

bool RecordingReader::OpenText(std::string_view text)
{
    source->inMemory = true;
    source->text = text;
    return ReadHeader();
}

bool RecordingReader::ReadHeader()
{
    const std::string notARecording =
        "line 1: not a recording of the line (\"" + std::string(kRecordingHeader) + "\" expected)";
    std::string header;
    // No longer than the header with a CR: a file of anything is refused at once.
    if (!NextLine(header, kRecordingHeader.size() + 1)) {
        const bool empty = error.empty() && !cutShort;
        error.clear();
        return Fail(empty ? "the file is empty" : notARecording);
    }
    if (header == kRecordingHeader)
        version = 2;
    else if (header == kRecordingHeaderVersion1)
        version = 1;
    else
        return Fail(notARecording);
    return true;
}

bool RecordingReader::Fail(std::string text)
{
    if (error.empty())
        error = lineNumber > 0 && text.rfind("line ", 0) != 0 ? "line " + std::to_string(lineNumber) + ": " + text
                                                               : std::move(text);
    return false;
}

bool RecordingReader::NextLine(std::string& line, std::size_t limit)
{
    line.clear();
    for (int c = source->Get();; c = source->Get()) {
        if (c == EOF) {
            cutShort = !line.empty();
            return false;
        }
        if (c == '\n')
            break;
        // Read no further: a line without an end (/dev/zero) is not read for ever.
        if (line.size() == limit) {
            ++lineNumber;
            return Fail("longer than any line of a recording (" + std::to_string(limit) + " bytes)");
        }
        line += char(c);
    }
    ++lineNumber;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

bool RecordingReader::Next(LineEvent& event)
{
    if (!error.empty() || version == 0)
        return false;
    std::string line;
    if (!NextLine(line)) {
        if (!source->inMemory && source->file.error() != QFileDevice::NoError)
            Fail("cannot read further: " + source->file.errorString().toStdString());
        return false;
    }
    if (ended)
        return Fail("an event after the end line");
    if (version >= 2 && line.rfind("end ", 0) == 0) {
        std::uint64_t count = 0;
        if (!ParseNumber(std::string_view(line).substr(4), count))
            return Fail("an end line needs the count of events");
        if (count != events)
            return Fail("the end line counts " + std::to_string(count) + " events, the recording holds "
                        + std::to_string(events));
        ended = true;
        // Nothing may follow it.
        if (NextLine(line))
            return Fail("an event after the end line");
        return false;
    }
    event = LineEvent{};
    if (const std::string why = ParseEvent(line, event); !why.empty())
        return Fail(why);
    ++events;
    return true;
}

bool RecordingReader::CutOff() const
{
    return version >= 2 && !ended && error.empty();
}

namespace {

Recording ReadAll(RecordingReader& reader, bool opened)
{
    Recording recording;
    if (opened) {
        for (LineEvent event; reader.Next(event);)
            recording.events.push_back(std::move(event));
    }
    recording.error = reader.Error();
    recording.cutShort = reader.CutShort();
    recording.cutOff = reader.CutOff();
    return recording;
}

}  // namespace

Recording ParseRecording(std::string_view text)
{
    RecordingReader reader;
    const bool opened = reader.OpenText(text);
    return ReadAll(reader, opened);
}

Recording ReadRecordingFile(const std::string& path)
{
    RecordingReader reader;
    const bool opened = reader.Open(path);
    return ReadAll(reader, opened);
}
