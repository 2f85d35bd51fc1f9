// The pieces of mirelle-cli that need no machine: the command line, the
// trace of the line and the progress lines.
#include "cli/CliOptions.h"
#include "cli/CliRunner.h"
#include "cli/CliSession.h"
#include "cli/ErrorStream.h"
#include "cli/TerminalPrompts.h"
#include "cli/ExitCode.h"
#include "cli/Progress.h"
#include "link/DeviceLink.h"
#include "support/PseudoTerminal.h"
#include "support/ScriptedPeer.h"
#include "operations/ToolContext.h"
#include "link/TracingBackend.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

using testing::HasSubstr;
using testing::MatchesRegex;

namespace {

// What mirelle-cli's main() does, on the test's own streams.
ExitCode RunCommandLine(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err)
{
    const ParsedCommandLine commandLine = ParseCommandLine(arguments);
    ErrorStream errors(err);
    PortStack stack = CliPortStack(commandLine.options, errors);
    DeviceLink link(std::move(stack.backend));
    return RunCli(commandLine, ProcessContext(link), stdin, out, errors, stack.recording);
}

// Everything written to a FILE*, as text.
class CapturedStream {
public:
    CapturedStream() : file(std::tmpfile()) {}
    ~CapturedStream() { std::fclose(file); }
    std::FILE* Get() { return file; }
    std::string Text()
    {
        std::fflush(file);
        std::rewind(file);
        std::string text;
        for (int c; (c = std::fgetc(file)) != EOF;)
            text += char(c);
        return text;
    }

private:
    std::FILE* file;
};

// The parsed options as one line: the options set, then the command and its arguments.
std::string Parsed(const CliOptions& options)
{
    std::string text;
    const auto add = [&text](bool set, const std::string& word) {
        if (set)
            text += word + " ";
    };
    add(options.port.has_value(), "port=" + options.port.value_or(""));
    add(options.json, "json");
    add(options.trace, "trace");
    add(options.yes, "yes");
    add(options.quiet, "quiet");
    add(options.verify, "verify");
    add(options.kind.has_value(), "kind=" + options.kind.value_or(""));
    add(options.reads.has_value(), "reads=" + std::to_string(options.reads.value_or(0)));
    add(options.eraseTimeout != std::chrono::seconds(60), "erase=" + std::to_string(options.eraseTimeout.count()));
    add(options.help, "help");
    add(options.version, "version");
    text += ":";
    if (!options.command.empty())
        text += " " + options.command;
    for (const std::string& argument : options.arguments)
        text += " [" + argument + "]";
    return text;
}

// Each form an option may take, anywhere on the line, and what a wrong line
// says: one line and where to read more, exit code 2, nothing on standard output.
TEST(CliOptionsTest, OptionFormsAndUsageErrors)
{
    struct Case {
        std::vector<std::string> arguments;
        std::string parsed;  // the options as Parsed() shows them, or the error
    };
    const std::vector<Case> cases{
        {{"--port", "com2", "--json", "--trace", "--yes", "--quiet", "info"}, "port=com2 json trace yes quiet : info"},
        {{"-p", "com2", "-j", "-t", "-y", "-q", "info"}, "port=com2 json trace yes quiet : info"},
        {{"--port=/dev/pts/3", "ident"}, "port=/dev/pts/3 : ident"},
        {{"info", "--json", "-p", "com3"}, "port=com3 json : info"},
        {{"console", "100 watch", "--reads", "3", "-j"}, "json reads=3 : console [100 watch]"},
        {{"-yj", "write-name", "--", "-Line 3-"}, "json yes : write-name [-Line 3-]"},
        {{"--kind", "symbols", "check", "a.bin"}, "kind=symbols : check [a.bin]"},
        {{"factory", "a.tbf", "--verify", "--erase-timeout", "5"}, "verify erase=5 : factory [a.tbf]"},
        {{"download", "--help"}, "help : help [download]"},
        {{"help", "download"}, ": help [download]"},
        {{"--help"}, "help : help"},
        {{"--version"}, "version :"},
        {{}, "no command given"},
        {{"--frobnicate", "info"}, "unknown option '--frobnicate'"},
        {{"-yx", "info"}, "unknown option '-x'"},
        {{"write-name", "-Line 3-"}, "unknown option '-L'"},
        {{"info", "--port"}, "--port needs a port name"},
        {{"-yp"}, "--port needs a port name"},
        {{"explode"}, "unknown command 'explode'"},
        {{"help", "explode"}, "unknown command 'explode'"},
        {{"check"}, "wrong number of arguments for 'check'"},
        {{"download", "a.tbu", "b.tbu"}, "wrong number of arguments for 'download'"},
        {{"--kind", "firmware", "check", "a.tbu"}, "unknown file kind 'firmware' (user, factory, boot, symbols or backup)"},
        {{"--reads", "-1", "console"}, "--reads needs a count of reads (0 or more)"},
        {{"--erase-timeout", "soon", "download", "a.tbu"}, "--erase-timeout needs a number of seconds"},
        {{"--erase-timeout", "-5", "download", "a.tbu"}, "--erase-timeout needs a number of seconds"},
        {{"--erase-timeout", "0", "download", "a.tbu"}, "--erase-timeout needs a number of seconds"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        const ParsedCommandLine parsed = ParseCommandLine(c.arguments);
        if (parsed.error.empty()) {
            EXPECT_EQ(Parsed(parsed.options), c.parsed);
            continue;
        }
        EXPECT_EQ(parsed.error, c.parsed);
        CapturedStream out, err;
        EXPECT_EQ(RunCommandLine(c.arguments, out.Get(), err.Get()), ExitCode::Usage);
        EXPECT_EQ(out.Text(), "");
        EXPECT_EQ(err.Text(), "mirelle-cli: " + c.parsed + "\nTry 'mirelle-cli --help'.\n");
    }
}

// With --json every path ends in exactly one JSON object on standard
// output whose exitCode is the exit code, and every line of standard error
// is a JSON object: the lines the parser refuses too, and --version.
TEST(CliOptionsTest, JsonGivesOneObjectOnEveryPath)
{
    const std::vector<std::vector<std::string>> lines{
        {"--json", "-Z", "info"},     {"--json", "--bogus", "info"}, {"--json", "info", "--port"},
        {"--json=1", "info"},         {"-qj", "--bogus"},            {"--json", "--version"},
        {"--json", "nonsense"},       {"-j", "info", "one", "two"},  {"--json", "--erase-timeout", "x", "info"},
        {"--json", "--record", "/nonexistent/x.rec", "--port", "/nonexistent/port", "ident"},
        {"--json", "check", QUORVEX_SAMPLES_DIR "/mainprog.tfs", "--kind", "user"},
    };
    for (const auto& line : lines) {
        std::string shown;
        for (const auto& word : line)
            shown += word + " ";
        SCOPED_TRACE(shown);
        CapturedStream out, err;
        const ExitCode code = RunCommandLine(line, out.Get(), err.Get());
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(out.Text()), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << out.Text();
        EXPECT_EQ(document.object()["exitCode"].toInt(-1), int(code));
        for (const QByteArray& errorLine : QByteArray::fromStdString(err.Text()).split('\n')) {
            if (!errorLine.isEmpty()) {
                EXPECT_TRUE(QJsonDocument::fromJson(errorLine).isObject()) << errorLine.toStdString();
            }
        }
    }
    // After "--" a word is an argument, never an option.
    CapturedStream out, err;
    EXPECT_EQ(RunCommandLine({"info", "--", "--json"}, out.Get(), err.Get()), ExitCode::Usage);
    EXPECT_EQ(out.Text(), "");
}

// The hints that lead to the right command: a file of another kind names
// the command that takes it, a name near a port name is told the port
// names, a mistyped command the nearest one.
TEST(CliOptionsTest, HintsLeadToTheRightCommand)
{
    const std::string samples = QUORVEX_SAMPLES_DIR;
    QTemporaryDir folder;
    const std::string cut = folder.filePath("cut.tbu").toStdString();
    {
        QFile file(QString::fromStdString(cut));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("\x01\x02");
    }
    struct Case {
        std::vector<std::string> line;
        ExitCode code;
        std::string hint;
    };
    const Case cases[] = {
        {{"download", samples + "/sample-factory.tbf"}, ExitCode::FileRefused,
         ": use mirelle-cli factory " + samples + "/sample-factory.tbf; or give --kind user"},
        {{"factory", samples + "/sample-user.tbu"}, ExitCode::FileRefused,
         ": use mirelle-cli download " + samples + "/sample-user.tbu; or give --kind factory"},
        {{"download", samples + "/sample-boot.tb"}, ExitCode::FileRefused, ": use mirelle-cli boot "},
        {{"boot", samples + "/mainprog.tfs"}, ExitCode::FileRefused, ": use mirelle-cli console --symbols "},
        {{"--port", "com9", "ident"}, ExitCode::PortUnavailable,
         "com9 is no port name: the port names are com1 .. com8, each standing for a device of its choice, and a "
         "device path is taken too (/dev/ttyUSB0)\n"},
        {{"--port", "COM1", "ident"}, ExitCode::PortUnavailable, "COM1 is no port name: the port names are com1"},
        {{"downlaod", "x.tbu"}, ExitCode::Usage, "unknown command 'downlaod'; did you mean 'download'?\n"},
        {{"help", "infp"}, ExitCode::Usage, "unknown command 'infp'; did you mean 'info'?\n"},
        {{"fetch"}, ExitCode::Usage, "unknown command 'fetch'\n"},
        // The file named with the loader's text, which standard output has alone.
        {{"check", cut}, ExitCode::FileRefused, cut + ": Unexpected end of file\n"},
        {{"download", cut}, ExitCode::FileRefused, cut + ": Unexpected end of file\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line.front() + " " + c.line.back());
        CapturedStream out, err;
        EXPECT_EQ(RunCommandLine(c.line, out.Get(), err.Get()), c.code);
        EXPECT_THAT(err.Text(), HasSubstr(c.hint));
    }
}

// At the terminal a confirmation shows its informative text on a line of its
// own under the question: the once-only field as it will be stored.
TEST(TerminalPromptsTest, AQuestionShowsItsInformativeTextAndTakesOnlyYes)
{
    PseudoTerminal terminal;
    ASSERT_TRUE(terminal.IsValid());
    for (const auto& [answer, yes] : {std::pair{"y\n", true}, {"n\n", false}, {"\n", false}}) {
        std::FILE* in = std::fopen(terminal.SlavePath().c_str(), "r");
        ASSERT_TRUE(in);
        CapturedStream err;
        ErrorStream errors(err.Get());
        TerminalPrompts prompts(false, in, errors, [](const std::string&) {});
        const std::string typed = answer;
        terminal.Send({typed.begin(), typed.end()});
        EXPECT_EQ(prompts.Confirm("Warning", "Are you sure ?", "Serial number: \" SN-0042\""), yes) << answer;
        EXPECT_EQ(err.Text(), "Are you sure ?\nSerial number: \" SN-0042\" [y/N] ");
        std::fclose(in);
    }
}

TEST(CliOptionsTest, CheckRefusesAFileItCannotTellTheKindOf)
{
    CapturedStream out, err;
    EXPECT_EQ(RunCommandLine({"check", "firmware.bin"}, out.Get(), err.Get()), ExitCode::Usage);
    EXPECT_THAT(err.Text(), HasSubstr("--kind"));
}

// The loader's own text is the result; the file and why it could not be
// opened go to standard error.
TEST(CliOptionsTest, AFileThatCannotBeOpenedIsNamedWithTheReason)
{
    const QTemporaryDir folder;
    const std::string directory = folder.path().toStdString() + "/folder.tbu";
    ASSERT_TRUE(QDir().mkdir(QString::fromStdString(directory)));
    struct Case {
        std::vector<std::string> arguments;
        std::string out;
        std::string err;
    };
    for (const Case& c : std::vector<Case>{
             {{"check", "/no/such/file.tbu"}, "Unable to open file\n",
              "mirelle-cli: /no/such/file.tbu: No such file or directory\n"},
             {{"check", directory}, "Unable to open file\n", "mirelle-cli: " + directory + ": Is a directory\n"},
             {{"--port", "/dev/no-such-port", "download", "/no/such/file.tbu"}, "Unable to open file\n",
              "mirelle-cli: /no/such/file.tbu: No such file or directory\n"},
         }) {
        CapturedStream out, err;
        EXPECT_EQ(RunCommandLine(c.arguments, out.Get(), err.Get()), ExitCode::FileRefused)
            << testing::PrintToString(c.arguments);
        EXPECT_EQ(out.Text(), c.out);
        EXPECT_EQ(err.Text(), c.err);
    }
}

TEST(TracingBackendTest, MarksWakeUpsFramesAndTimeOuts)
{
    CapturedStream trace;
    auto* peer = new ScriptedPeer;
    DeviceLink link(std::make_unique<TracingBackend>(std::unique_ptr<PortBackend>(peer), trace.Get()));
    link.OpenPort(PortAddress::OfDevice("/dev/ttyTEST"));
    link.Select(Command::kSelectCode);
    std::uint32_t hard = 0, flash = 0;
    EXPECT_FALSE(link.ReadIdentity(hard, flash));  // no answer scripted

    const std::string text = trace.Text();
    EXPECT_THAT(text, HasSubstr("open /dev/ttyTEST: ok"));
    EXPECT_THAT(text, HasSubstr("> wake-up 80 A2 03\n"));
    EXPECT_THAT(text, HasSubstr("< 04\n"));
    EXPECT_THAT(text, HasSubstr("> frame   02 03 7E 01 00 7E\n"));
    EXPECT_THAT(text, HasSubstr("(0 of 14, timed out)"));
    EXPECT_THAT(text, HasSubstr("break"));
}

// A line of standard input is kept up to 64 KiB, the rest of it read and
// dropped: a line without an end holds no more memory than that.
TEST(CliSessionTest, ALineOfInputIsCutAndItsRestDropped)
{
    CapturedStream in, out, err;
    std::fputs(("100 = 5" + std::string(1 << 20, ' ') + "tail\n100\nlast").c_str(), in.Get());
    std::rewind(in.Get());
    DeviceLink link(std::make_unique<ScriptedPeer>());
    const CliOptions options;
    ErrorStream errors(err.Get());
    CliSession session(options, ProcessContext(link), in.Get(), out.Get(), errors);
    std::string line;
    ASSERT_TRUE(session.ReadLine(line));
    EXPECT_EQ(line.size(), 64u * 1024);
    EXPECT_TRUE(line.starts_with("100 = 5 "));
    ASSERT_TRUE(session.ReadLine(line));
    EXPECT_EQ(line, "100");
    ASSERT_TRUE(session.ReadLine(line));
    EXPECT_EQ(line, "last");
    EXPECT_FALSE(session.ReadLine(line));
}

TEST(ProgressDisplayTest, PlainOrJsonLinesAtEachPhaseAndEachStep)
{
    CapturedStream plain, json;
    for (auto [stream, form] : {std::pair{&plain, ProgressDisplay::Form::Plain}, {&json, ProgressDisplay::Form::Json}}) {
        ErrorStream errors(stream->Get());
        ProgressDisplay progress(errors, form);
        progress.Show("Erasing...", "erases", 0, 8);
        progress.Show("Erasing...", "erases", 2, 8);  // a quarter: a new tenth
        progress.Show("Erasing...", "erases", 2, 8);  // the same: nothing
        progress.Show("Programming...", "bytes", 0, 500);
        progress.Show("Programming...", "bytes", 500, 500);
    }
    EXPECT_EQ(plain.Text(),
              "Erasing... 0/8 (0%)\n"
              "Erasing... 2/8 (25%)\n"
              "Erasing... 8/8 (100%)\n"
              "Programming... 0/500 (0%)\n"
              "Programming... 500/500 (100%)\n");
    EXPECT_THAT(json.Text(),
                MatchesRegex("(\\{\"done\":[0-9]+,\"percent\":[0-9]+,\"phase\":\"[A-Za-z.]+\",\"rate\":null,"
                             "\"secondsLeft\":null,\"total\":[0-9]+,\"unit\":\"[a-z]+\"\\}\n){4}"));
    EXPECT_THAT(json.Text(), HasSubstr(R"({"done":2,"percent":25,"phase":"Erasing...",)"));
}

// The bar's line on a terminal of any width: never wider, the bar left out
// first, then the rate and the time left, then the count.
// The status line on a terminal of so many columns takes three less; as the
// terminal narrows, the bar goes first, then the rate, then the unit word,
// then the time left.
TEST(ProgressDisplayTest, BarLineFitsTheTerminal)
{
    struct Case {
        ProgressFigures figures;
        std::size_t columns;
        std::string line;
    };
    const ProgressFigures reading{"Reading...", "bytes", 18278, 262144, 3170.0};
    const ProgressFigures erasing{"Erasing...", "erases", 1, 4};
    for (const Case& c : std::vector<Case>{
             {reading, 200, "Reading...       [#" + std::string(29, ' ') + "]   6%  18278/262144 bytes  3.2 kB/s  1:17 left"},
             {reading, 80, "Reading...       [" + std::string(12, ' ') + "]   6%  18278/262144 bytes  3.2 kB/s  1:17 left"},
             {reading, 60, "Reading...   6%  18278/262144 bytes  3.2 kB/s  1:17 left"},
             {reading, 50, "Reading...   6%  18278/262144 bytes  1:17 left"},
             {reading, 45, "Reading...   6%  18278/262144  1:17 left"},
             {reading, 40, "Reading...   6%  18278/262144"},
             {reading, 25, "Reading...   6%"},
             {reading, 10, "Reading"},
             {erasing, 80, "Erasing...       [#######" + std::string(23, ' ') + "]  25%  1/4 erases"},
             {{"Programming...", "bytes", 10, 0}, 40, "Programming... 100%  10/0 bytes"},
         }) {
        const std::string line = ProgressBarLine(c.figures, c.columns - 3);
        EXPECT_EQ(line, c.line) << c.columns;
        EXPECT_LE(line.size(), c.columns - 3);
    }
}

// Without a terminal each phase ends on its last count, and a phase that
// completed on all of it.
TEST(ProgressDisplayTest, PlainPhasesEndOnTheirLastCount)
{
    CapturedStream plain;
    {
        ErrorStream errors(plain.Get());
        ProgressDisplay progress(errors, ProgressDisplay::Form::Plain);
        progress.Show("Erasing...", "erases", 0, 4);
        progress.Show("Erasing...", "erases", 3, 4);
        progress.Show("Programming...", "bytes", 0, 500);
        progress.Show("Programming...", "bytes", 460, 500);
        progress.Finish(true);
    }
    EXPECT_EQ(plain.Text(),
              "Erasing... 0/4 (0%)\n"
              "Erasing... 3/4 (75%)\n"
              "Erasing... 4/4 (100%)\n"
              "Programming... 0/500 (0%)\n"
              "Programming... 460/500 (92%)\n"
              "Programming... 500/500 (100%)\n");
}

// A line written while the bar is drawn takes a line of its own above it:
// what the terminal shows, line by line, after the trace and the bar share
// the error stream.
TEST(ErrorStreamTest, TraceLinesNeverLandOnTheBarsLine)
{
    CapturedStream terminal;
    {
        ErrorStream errors(terminal.Get(), {.terminal = true, .columns = [] { return 60; }});
        ProgressDisplay progress(errors, ProgressDisplay::Form::Bar);
        auto* peer = new ScriptedPeer;
        DeviceLink link(std::make_unique<TracingBackend>(std::unique_ptr<PortBackend>(peer),
                                                         [&](const std::string& line) { errors.Line(line); }));
        progress.Show("Programming...", "bytes", 240, 960);
        link.OpenPort(PortAddress::OfDevice("/dev/ttyTEST"));
        link.Select(Command::kSelectCode);
        progress.Show("Programming...", "bytes", 480, 960);
    }
    // The terminal's rendering: a carriage return goes back to the line's
    // start, ESC [ K erases to its end.
    std::vector<std::string> shown{""};
    std::size_t column = 0;
    const std::string text = terminal.Text();
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::string& line = shown.back();
        if (text.compare(i, 3, "\x1B[K") == 0) {
            line.resize(column);
            i += 2;
        } else if (text[i] == '\r') {
            column = 0;
        } else if (text[i] == '\n') {
            shown.emplace_back();
            column = 0;
        } else {
            line.resize(std::max(line.size(), column + 1));
            line[column++] = text[i];
        }
    }
    ASSERT_GE(shown.size(), 4u) << text;
    EXPECT_EQ(shown.front(), "open /dev/ttyTEST: ok");
    for (auto line = shown.begin() + 1; line < shown.end() - 2; ++line)
        EXPECT_THAT(*line, MatchesRegex(" *[0-9]+\\.[0-9]{3} [<>-] [^[]*")) << text;
    EXPECT_EQ(shown.end()[-2], "Programming...   [#########         ]  50%  480/960 bytes");  // 60 columns less 3
    EXPECT_EQ(shown.back(), "");
}

}  // namespace

namespace {

TEST(CliWithoutMachineTest, APortThatCannotBeOpenedEndsTheCommandWithOneLineOnWhyAndExit6)
{
    const QTemporaryDir folder;
    const std::string directory = folder.path().toStdString();
    const std::string file = directory + "/not-a-port";
    std::fclose(std::fopen(file.c_str(), "w"));
    const std::string sample = QUORVEX_SAMPLES_DIR "/sample-user.tbu";
    struct Case {
        std::vector<std::string> arguments;
        std::string line;  // what standard error begins with
    };
    const std::string none = "mirelle-cli: No port selected: give --port NAME, set MIRELLE_PORT, or store one with "
                             "mirelle-cli set-port NAME\n";
    for (const Case& c : std::vector<Case>{
             {{"--port", "/dev/no-such-port", "ident"}, "mirelle-cli: /dev/no-such-port: No such device \u2014 "},
             {{"--port", "/dev/no-such-port", "info"}, "mirelle-cli: /dev/no-such-port: No such device \u2014 "},
             {{"--port", directory, "download", sample}, "mirelle-cli: " + directory + ": Not a serial port (a directory)"},
             {{"--port", file, "power-off"}, "mirelle-cli: " + file + ": Not a serial port (a file)"},
             {{"--port", "/dev/no-such-port", "console", "x 0"}, "mirelle-cli: /dev/no-such-port: No such device"},
             {{"download", sample}, none},  // no port given, none stored
             {{"ident"}, none},
         }) {
        CapturedStream out, err;
        EXPECT_EQ(RunCommandLine(c.arguments, out.Get(), err.Get()), ExitCode::PortUnavailable)
            << testing::PrintToString(c.arguments);
        EXPECT_EQ(out.Text(), "");
        // A download's file is read first: its summary may come before.
        const std::string said = err.Text();
        ASSERT_THAT(said, testing::EndsWith("\n"));
        const std::size_t lastLine = said.rfind('\n', said.size() - 2);
        EXPECT_THAT(said.substr(lastLine == std::string::npos ? 0 : lastLine + 1), testing::StartsWith(c.line));
        EXPECT_EQ(said.find("mirelle-cli:"), said.rfind("mirelle-cli:")) << said;
    }
}

}  // namespace
