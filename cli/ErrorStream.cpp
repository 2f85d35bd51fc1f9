#include "cli/ErrorStream.h"

#include "cli/Terminal.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

// Back to the start of the line, and everything after the cursor erased.
constexpr const char* kReturn = "\r";
constexpr const char* kEraseToEnd = "\x1B[K";

}  // namespace

ErrorStream::ErrorStream(std::FILE* file)
    : ErrorStream(file, Display{IsTerminal(file), [file] { return TerminalColumns(file); }})
{
}

ErrorStream::ErrorStream(std::FILE* file, Display display) : file(file), display(std::move(display)) {}

std::size_t ErrorStream::StatusWidth() const
{
    // Three columns are left free: the cursor never wraps to the next line,
    // and the terminal's echo of Ctrl-C has room.
    const int columns = display.columns ? display.columns() : 0;
    return columns > 3 ? std::size_t(columns - 3) : 77;
}

void ErrorStream::Line(const std::string& line, const char* kind)
{
    if (json) {
        const QJsonObject object{{QLatin1String(kind), QString::fromStdString(line)}};
        JsonLine(QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString());
        return;
    }
    ClearStatus();
    std::fprintf(file, "%s\n", line.c_str());
    DrawStatus();
    std::fflush(file);
}

void ErrorStream::JsonLine(const std::string& object)
{
    ClearStatus();
    std::fprintf(file, "%s\n", object.c_str());
    DrawStatus();
    std::fflush(file);
}

void ErrorStream::Write(const std::string& text)
{
    ClearStatus();
    drawn = false;
    status.clear();
    std::fputs(text.c_str(), file);
    std::fflush(file);
}

void ErrorStream::Status(const std::string& text)
{
    if (!display.terminal) {
        Line(text);
        return;
    }
    status = text;
    DrawStatus();
    std::fflush(file);
}

void ErrorStream::EndStatus()
{
    if (drawn) {
        std::fputc('\n', file);
        std::fflush(file);
    }
    drawn = false;
    status.clear();
}

void ErrorStream::ClearStatus()
{
    if (drawn)
        std::fprintf(file, "%s%s", kReturn, kEraseToEnd);
}

void ErrorStream::DrawStatus()
{
    if (status.empty())
        return;
    // Cut afresh at each drawing: the terminal may have become narrower.
    std::fprintf(file, "%s%s%s", kReturn, status.substr(0, StatusWidth()).c_str(), kEraseToEnd);
    drawn = true;
}
