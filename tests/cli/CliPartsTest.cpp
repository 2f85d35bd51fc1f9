// The pieces of mirelle-cli that need no machine: the command line, the
// trace of the line and the progress lines.
#include "cli/CliOptions.h"
#include "cli/CliRunner.h"
#include "cli/CliSession.h"
#include "cli/ExitCode.h"
#include "cli/Progress.h"
#include "link/DeviceLink.h"
#include "support/ScriptedPeer.h"
#include "app/ToolContext.h"
#include "link/TracingBackend.h"

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
    DeviceLink link(CliPortBackend(commandLine.options, err));
    return RunCli(commandLine, ProcessContext(link), stdin, out, err);
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
        {{"--kind", "firmware", "check", "a.tbu"}, "unknown file kind 'firmware' (user, factory, boot or symbols)"},
        {{"--reads", "-1", "console"}, "--reads needs a count of reads (0 or more)"},
        {{"--erase-timeout", "soon", "download", "a.tbu"}, "--erase-timeout needs a number of seconds"},
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

TEST(CliOptionsTest, CheckRefusesAFileItCannotTellTheKindOf)
{
    CapturedStream out, err;
    EXPECT_EQ(RunCommandLine({"check", "firmware.bin"}, out.Get(), err.Get()), ExitCode::Usage);
    EXPECT_THAT(err.Text(), HasSubstr("--kind"));
    EXPECT_EQ(RunCommandLine({"check", "/no/such/file.tbu"}, out.Get(), err.Get()), ExitCode::FileRefused);
    EXPECT_EQ(out.Text(), "Unable to open file\n");
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
    CliSession session(options, ProcessContext(link), in.Get(), out.Get(), err.Get());
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

TEST(ProgressDisplayTest, PlainLinesAtEachPhaseAndEveryTenth)
{
    CapturedStream out;
    {
        ProgressDisplay progress(out.Get());
        progress.Show("Erasing...", 0, 0x20000);
        progress.Show("Erasing...", 0x8000, 0x20000);  // a quarter: a new tenth
        progress.Show("Erasing...", 0x8001, 0x20000);  // same tenth: nothing
        progress.Show("Programming...", 0, 500);
        progress.Show("Programming...", 500, 500);
    }
    EXPECT_EQ(out.Text(),
              "Erasing... 0/131072 (0%)\n"
              "Erasing... 32768/131072 (25%)\n"
              "Programming... 0/500 (0%)\n"
              "Programming... 500/500 (100%)\n");
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
