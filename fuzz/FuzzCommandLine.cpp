// mirelle-cli's command line from the fuzzer's bytes, its words split at
// zero bytes: a line the parser refuses, and --version, end as RunCli ends
// them, and with --json in exactly one JSON object on standard output whose
// exitCode is the exit code, every line of standard error a JSON object of
// its own. A line the parser takes is not run: commands write files and
// open devices.
#include "operations/ToolContext.h"
#include "cli/CliOptions.h"
#include "cli/CliRunner.h"
#include "cli/ErrorStream.h"
#include "link/DeviceLink.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// What was written to a stream opened with open_memstream.
struct MemoryStream {
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* file = open_memstream(&text, &size);

    QByteArray Close()
    {
        std::fclose(file);
        QByteArray bytes(text, qsizetype(size));
        std::free(text);
        return bytes;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> words(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            words.emplace_back();
        else
            words.back() += char(data[i]);
    }
    const ParsedCommandLine parsed = ParseCommandLine(words);
    const bool version = parsed.options.version && !parsed.options.help;
    if (parsed.error.empty() && !version)
        return 0;

    static DeviceLink link;  // never opened: nothing is run that would
    MemoryStream out, err;
    ExitCode code;
    {
        ErrorStream errors(err.file, ErrorStream::Display{});
        code = RunCli(parsed, ProcessContext(link), stdin, out.file, errors);
    }
    const QByteArray printed = out.Close();
    const QByteArray said = err.Close();
    if (!parsed.options.json)
        return 0;
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(printed, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()
        || document.object()["exitCode"].toInt(-1) != int(code))
        std::abort();
    for (const QByteArray& line : said.split('\n')) {
        if (!line.isEmpty() && !QJsonDocument::fromJson(line).isObject())
            std::abort();
    }
    return 0;
}
