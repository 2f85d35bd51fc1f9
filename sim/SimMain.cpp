// mirelle-sim: the simulated machine on a pseudo-terminal. The first line of
// its standard output is the device to open; it runs until SIGINT, SIGTERM,
// SIGHUP or the end of its standard input.

#include "common/Version.h"
#include "images/FactoryImage.h"
#include "samples/SampleSet.h"
#include "sim/MachineModel.h"
#include "sim/PtyGuard.h"
#include "sim/Replay.h"

#include <QCommandLineParser>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr const char* kUsage = R"(usage: mirelle-sim [OPTION]...
Serves a simulated Mirelle recorder on a pseudo-terminal. The first line of
standard output is the device to open (for example /dev/pts/3). Runs until
SIGINT, SIGTERM or the end of standard input.

With no options the machine has the sample factory data (the sample factory
image applied: factory directory, factory data block with a blank serial
number and name, program loader, two factory drivers) and an empty user area.

Machine:
  --hard-ident HEX          hardware identity (default 4D520001, or the
                            identity of the --factory file)
  --flash-ident HEX         flash identity (default 000122DA, or that of the
                            --factory file)
  --factory FILE.tbf        apply this factory image at start, as the factory
                            would have programmed it, instead of the sample one
  --blank                   start with all of the flash erased: no factory data
  --flash FILE              keep the flash in FILE: read at start when FILE
                            exists (the sample factory image is then not
                            applied), written back on exit
  --save-flash FILE         write the flash to FILE on exit
  --flash-base ADDRESS      first flash address (default 0xD00000)
  --flash-size BYTES        flash size (default 0x100000, 1 MiB)
  --sector-size BYTES       erase sector size (default 0x10000, 64 KiB)
  --erase-time MS           how long an erase keeps the flash busy (default 200)
  --loader                  power up in the resident loader (as with RTS held),
                            waiting for a boot stream
  --pace                    requests arrive and answers leave at the line rate
                            (38400 baud, 11 bits a byte) instead of at once
  --adapter-latency MS      hold each answer back this long, as a USB adapter
                            whose latency timer was not lowered does
                            (default 0; an FTDI adapter's default is 16)

Serving:
  --link PATH               also make PATH a symbolic link to the device
                            (replaces an existing link, removed on exit)
  --replay FILE             instead of the machine, serve the answers of a
                            recording (mirelle-cli --record FILE) to the same
                            requests, with their recorded delays; the first
                            request that differs is reported on standard error
                            and the machine is silent from then on
  --fast                    with --replay: every answer at once

Faults. N counts the request frames the machine takes from the start, 1 being
the first; wake-ups are not counted. Each option may be given more than once.
  --no-answer N             the N-th request is lost: not carried out, no answer
  --silent-from N           every request from the N-th on is lost
  --bad-checksum N          the answer to the N-th request has its checksum off
                            by one (an acknowledgement becomes 0x15)
  --surplus N[:COUNT]       COUNT bytes 0x55 (default 4) follow the N-th answer
  --late N[:MS]             the N-th answer leaves MS later (default 300)
  --erase-status HEX[:N]    the N-th erase (default: the first) ends with
                            status HEX instead of 0, and erases nothing
  --program-status HEX[:N]  the N-th program request (default: the first) is
                            answered with status HEX and programs nothing
  --corrupt N               the N-th program request is carried out and answered
                            status 0, then one bit of its block flips in flash

Standard input, when it is a pipe or the terminal in the foreground, takes
one command a line:
  on        power the machine on (after a Power Off)
  loader    power it on into the resident loader
  off       switch it off
  save      write the flash to the --flash and --save-flash files now
Each is answered on standard error with what it did.
End of standard input stops the simulator.

  -h, --help                print this text and stop
  --version                 print the version and stop

Exit status: 0 stopped, 1 the simulator could not start or save, 2 bad usage.
)";

volatile std::sig_atomic_t stopSignal = 0;

void OnStopSignal(int signal)
{
    stopSignal = signal;
}

struct Options {
    MachineConfig config;
    std::optional<std::uint32_t> hardIdent, flashIdent;
    std::string factoryFile;
    bool blank = false;
    std::string flashFile;
    std::string saveFile;
    std::string linkPath;
    std::vector<Fault> faults;
    std::string replayFile;  // --replay
    bool fast = false;       // --fast
};

[[noreturn]] void UsageError(const std::string& message)
{
    std::fprintf(stderr, "mirelle-sim: %s\nTry 'mirelle-sim --help'.\n", message.c_str());
    std::exit(2);
}

std::uint64_t ParseNumber(const std::string& option, const std::string& text, int base, std::uint64_t max)
{
    if (text.empty() || text[0] == '-' || text[0] == '+')
        UsageError(option + ": not a number: '" + text + "'");
    const char* digits = text.c_str();
    if (base == 16 && (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0))
        digits += 2;
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(digits, &end, base);
    if (end == digits || *end != '\0' || errno == ERANGE || value > max)
        UsageError(option + ": not a number in range: '" + text + "'");
    return value;
}

// "A[:B]": A, and B when present.
std::pair<std::string, std::optional<std::string>> SplitPair(const std::string& text)
{
    const auto colon = text.find(':');
    if (colon == std::string::npos)
        return {text, std::nullopt};
    return {text.substr(0, colon), text.substr(colon + 1)};
}

// The options that take a value, and the switches.
constexpr std::array kValueOptions{
    "hard-ident", "flash-ident", "factory", "flash", "save-flash", "flash-base", "flash-size", "sector-size",
    "erase-time", "adapter-latency", "link", "no-answer", "silent-from", "bad-checksum", "surplus", "late",
    "erase-status", "program-status", "corrupt", "replay",
};
constexpr std::array kSwitches{"blank", "loader", "pace", "fast", "version"};

// "--name", or "-h".
std::string Spelled(const QString& name)
{
    return (name.size() == 1 ? "-" : "--") + name.toLatin1().toStdString();
}

// What the parser found wrong, as a usage error.
[[noreturn]] void ParseError(const QCommandLineParser& parser)
{
    if (!parser.unknownOptionNames().isEmpty())
        UsageError("unknown option '" + Spelled(parser.unknownOptionNames().first()) + "'");
    // An option given more often than it has values lacks its last one.
    std::map<QString, qsizetype> given;
    for (const QString& name : parser.optionNames())
        ++given[name];
    for (const auto& [name, count] : given) {
        const bool takesValue = std::find(kValueOptions.begin(), kValueOptions.end(), name.toStdString())
                                != kValueOptions.end();
        if (takesValue && parser.values(name).size() < count)
            UsageError(Spelled(name) + " needs a value");
    }
    std::string error = parser.errorText().toStdString();  // "Unexpected value after '--pace=1'."
    if (!error.empty() && error.back() == '.')
        error.pop_back();
    if (!error.empty())
        error[0] = char(std::tolower(static_cast<unsigned char>(error[0])));
    UsageError(error);
}

// The command line through Qt's parser, its words as Latin-1 so that a path
// comes back byte for byte; a usage error ends the program.
void Parse(QCommandLineParser& parser, int argc, char** argv)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    for (const char* name : kValueOptions)
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("VALUE")));
    for (const char* name : kSwitches)
        parser.addOption(QCommandLineOption(QString::fromLatin1(name)));
    parser.addOption(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
    QStringList words;
    for (int i = 0; i < argc; ++i)
        words << QString::fromLatin1(argv[i]);
    if (!parser.parse(words))
        ParseError(parser);
    if (!parser.positionalArguments().isEmpty())
        UsageError("unexpected argument '" + parser.positionalArguments().first().toLatin1().toStdString() + "'");
}

Options ParseOptions(int argc, char** argv)
{
    QCommandLineParser parser;
    Parse(parser, argc, argv);
    Options options;
    options.config.keepRequestLog = false;
    // In the order given, so that every fault applies; an option given again
    // takes its values in turn.
    std::map<QString, qsizetype> taken;
    for (const QString& name : parser.optionNames()) {
        const std::string option = Spelled(name);
        const QStringList values = parser.values(name);
        const qsizetype index = taken[name]++;
        const auto value = [&]() -> std::string {
            return index < values.size() ? values[index].toLatin1().toStdString() : std::string();
        };
        const auto nth = [&option](const std::string& text) {
            return unsigned(std::max<std::uint64_t>(1, ParseNumber(option, text, 0, 0xFFFFFFFF)));
        };
        if (option == "-h" || option == "--help") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (option == "--version") {
            std::printf("mirelle-sim %s\n", kProjectVersion);
            std::exit(0);
        } else if (option == "--hard-ident") {
            options.hardIdent = std::uint32_t(ParseNumber(option, value(), 16, 0xFFFFFFFF));
        } else if (option == "--flash-ident") {
            options.flashIdent = std::uint32_t(ParseNumber(option, value(), 16, 0xFFFFFFFF));
        } else if (option == "--factory") {
            options.factoryFile = value();
        } else if (option == "--blank") {
            options.blank = true;
        } else if (option == "--flash") {
            options.flashFile = value();
        } else if (option == "--save-flash") {
            options.saveFile = value();
        } else if (option == "--flash-base") {
            options.config.flashBase = std::uint32_t(ParseNumber(option, value(), 0, 0xFFFFFFFF));
        } else if (option == "--flash-size") {
            options.config.flashSize = std::uint32_t(ParseNumber(option, value(), 0, 0x10000000));
        } else if (option == "--sector-size") {
            options.config.sectorSize = std::uint32_t(ParseNumber(option, value(), 0, 0x10000000));
        } else if (option == "--erase-time") {
            options.config.eraseTime = std::chrono::milliseconds(ParseNumber(option, value(), 0, 3600000));
        } else if (option == "--adapter-latency") {
            options.config.adapterLatency = std::chrono::milliseconds(ParseNumber(option, value(), 0, 1000));
        } else if (option == "--loader") {
            options.config.startInLoader = true;
        } else if (option == "--pace") {
            options.config.wirePacing = true;
        } else if (option == "--link") {
            options.linkPath = value();
        } else if (option == "--replay") {
            options.replayFile = value();
        } else if (option == "--fast") {
            options.fast = true;
        } else if (option == "--no-answer" || option == "--silent-from" || option == "--bad-checksum") {
            Fault fault;
            fault.kind = option == "--bad-checksum" ? FaultKind::BadChecksum : FaultKind::NoAnswer;
            fault.persistent = option == "--silent-from";
            fault.nth = nth(value());
            options.faults.push_back(fault);
        } else if (option == "--surplus" || option == "--late") {
            const auto [n, extra] = SplitPair(value());
            Fault fault;
            fault.kind = option == "--surplus" ? FaultKind::SurplusBytes : FaultKind::LateReply;
            fault.nth = nth(n);
            if (extra && option == "--surplus")
                fault.surplusBytes = unsigned(ParseNumber(option, *extra, 0, 4096));
            if (extra && option == "--late")
                fault.delay = std::chrono::milliseconds(ParseNumber(option, *extra, 0, 3600000));
            options.faults.push_back(fault);
        } else if (option == "--corrupt") {
            Fault fault;
            fault.kind = FaultKind::CorruptBlock;
            fault.nth = nth(value());
            options.faults.push_back(fault);
        } else if (option == "--erase-status" || option == "--program-status") {
            const auto [status, n] = SplitPair(value());
            Fault fault;
            fault.kind = option == "--erase-status" ? FaultKind::EraseStatus : FaultKind::ProgramStatus;
            fault.status = std::uint8_t(ParseNumber(option, status, 16, 0xFF));
            fault.nth = n ? nth(*n) : 1;
            options.faults.push_back(fault);
        }
    }
    if (options.blank && !options.factoryFile.empty())
        UsageError("--blank and --factory exclude each other");
    return options;
}

bool FileExists(const std::string& path)
{
    struct stat info{};
    return ::stat(path.c_str(), &info) == 0;
}

// The machine as the options describe it, or an exit with a message.
MachineModel BuildMachine(Options& options)
{
    FactoryImageContent factory = SampleFactoryImage();
    if (!options.factoryFile.empty()) {
        FactoryImage image;
        LoadFactoryFile(options.factoryFile, image);
        if (!image.loaded) {
            std::fprintf(stderr, "mirelle-sim: %s: %s\n", options.factoryFile.c_str(), image.statusText.c_str());
            std::exit(1);
        }
        factory.hardIdent = image.hardIdent;
        factory.flashIdent = image.flashIdent;
        factory.eraseVectors = image.eraseVectors;
        factory.image = image.image;
    }
    options.config.hardIdent = options.hardIdent.value_or(factory.hardIdent);
    options.config.flashIdent = options.flashIdent.value_or(factory.flashIdent);

    std::optional<MachineModel> machine;
    try {
        machine.emplace(options.config);
    } catch (const std::invalid_argument& error) {
        UsageError(error.what());
    }
    bool fromFile = false;
    if (!options.flashFile.empty() && FileExists(options.flashFile) && !options.blank) {
        std::string error;
        if (!machine->LoadFlash(options.flashFile, error)) {
            std::fprintf(stderr, "mirelle-sim: %s\n", error.c_str());
            std::exit(1);
        }
        fromFile = true;
    }
    if (!options.blank && (!fromFile || !options.factoryFile.empty())) {
        if (!machine->ApplyImage(factory.eraseVectors, FactoryImage::kFlashAddress, factory.image))
            std::fprintf(stderr, "mirelle-sim: warning: the factory image does not fit this flash entirely\n");
    }
    for (const auto& fault : options.faults)
        machine->InjectFault(fault);
    return std::move(*machine);
}

// Writes the flash to the --flash and --save-flash files; with `tell`, each
// file written is named on standard error.
bool SaveFlash(const MachineModel& machine, const Options& options, bool tell = false)
{
    bool saved = true;
    for (const auto& path : {options.flashFile, options.saveFile}) {
        if (path.empty())
            continue;
        std::string error;
        if (!machine.SaveFlash(path, error)) {
            std::fprintf(stderr, "mirelle-sim: %s\n", error.c_str());
            saved = false;
        } else if (tell) {
            std::fprintf(stderr, "mirelle-sim: flash written to %s\n", path.c_str());
        }
    }
    return saved;
}

bool MakeLink(const std::string& linkPath, const std::string& device)
{
    struct stat info{};
    if (::lstat(linkPath.c_str(), &info) == 0) {
        if (!S_ISLNK(info.st_mode)) {
            std::fprintf(stderr, "mirelle-sim: %s exists and is not a symbolic link\n", linkPath.c_str());
            return false;
        }
        ::unlink(linkPath.c_str());
    }
    if (::symlink(device.c_str(), linkPath.c_str()) != 0) {
        std::fprintf(stderr, "mirelle-sim: cannot make the link %s: %s\n", linkPath.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

void RemoveLink(const std::string& linkPath, const std::string& device)
{
    char target[4096];
    const ssize_t length = ::readlink(linkPath.c_str(), target, sizeof target - 1);
    if (length > 0 && std::string(target, std::size_t(length)) == device)
        ::unlink(linkPath.c_str());
}

// Standard input is watched when it is a pipe, a socket or the terminal in
// the foreground: redirected from /dev/null or a file, or in a background
// job, the simulator runs until a signal stops it.
bool WatchStandardInput()
{
    struct stat info{};
    if (::fstat(STDIN_FILENO, &info) != 0)
        return false;
    if (::isatty(STDIN_FILENO))
        return ::tcgetpgrp(STDIN_FILENO) == ::getpgrp();
    return S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode);
}

// Runs one command line from standard input and says on standard error what
// it did.
void Command(const std::string& line, MachineModel& machine, const Options& options)
{
    if (line == "on" || line == "loader") {
        machine.PowerOn(line == "loader");
        std::fprintf(stderr, "mirelle-sim: powered on%s\n",
                     machine.CurrentMode() == MachineModel::Mode::ResidentLoader ? " into the resident loader" : "");
    } else if (line == "off") {
        machine.PowerOff();
        std::fprintf(stderr, "mirelle-sim: switched off\n");
    } else if (line == "save") {
        if (options.flashFile.empty() && options.saveFile.empty())
            std::fprintf(stderr, "mirelle-sim: no --flash or --save-flash file to save to\n");
        else
            SaveFlash(machine, options, true);
    } else if (!line.empty()) {
        std::fprintf(stderr, "mirelle-sim: unknown command '%s' (on, loader, off, save)\n", line.c_str());
    }
}

ReplayPeer LoadReplay(const Options& options)
{
    Recording recording = ReadReplayFile(options.replayFile);
    if (recording.events.empty() && !recording.error.empty()) {
        std::fprintf(stderr, "mirelle-sim: %s: %s\n", options.replayFile.c_str(), recording.error.c_str());
        std::exit(1);
    }
    if (!recording.error.empty())
        std::fprintf(stderr, "mirelle-sim: %s: %s; replaying the events before it\n", options.replayFile.c_str(),
                     recording.error.c_str());
    std::fprintf(stderr, "mirelle-sim: replaying %zu events of %s%s\n", recording.events.size(),
                 options.replayFile.c_str(), options.fast ? ", every answer at once" : "");
    return ReplayPeer(std::move(recording.events), options.fast, stderr);
}

// Serves `peer` (the machine, or a recording replayed) on the pseudo-terminal
// until a stop signal or the end of standard input; `command` takes each
// line of standard input.
template <typename Peer>
void Serve(Peer& peer, int master, PtyGuard& guard, const sigset_t& waitMask,
           const std::function<void(const std::string&)>& command)
{
    const auto start = std::chrono::steady_clock::now();
    const auto elapsed = [start] { return SimTime(std::chrono::steady_clock::now() - start); };
    const bool watchInput = WatchStandardInput();
    std::string inputLine;
    std::vector<std::uint8_t> pending;  // answer bytes due but not yet taken by the terminal
    std::uint8_t buffer[4096];

    while (stopSignal == 0) {
        peer.AdvanceTo(elapsed());
        std::uint8_t due[512];
        for (std::size_t n; (n = peer.TakeOutput(due)) > 0;)
            pending.insert(pending.end(), due, due + n);
        if (!pending.empty()) {
            const ssize_t written = ::write(master, pending.data(), pending.size());
            if (written > 0)
                pending.erase(pending.begin(), pending.begin() + written);
        }

        pollfd fds[3] = {{master, short(POLLIN | (pending.empty() ? 0 : POLLOUT)), 0},
                         {guard.Fd(), POLLIN, 0},  // ignored while -1
                         {watchInput ? STDIN_FILENO : -1, POLLIN, 0}};
        timespec wait{};
        timespec* timeout = nullptr;
        if (const auto next = peer.NextOutputTime(); next && pending.empty()) {
            const auto left = std::max(SimTime::zero(), *next - elapsed());
            wait.tv_sec = std::time_t(left.count() / 1'000'000'000);
            wait.tv_nsec = long(left.count() % 1'000'000'000);
            timeout = &wait;
        }
        const int ready = ::ppoll(fds, 3, timeout, &waitMask);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            std::fprintf(stderr, "mirelle-sim: %s\n", std::strerror(errno));
            break;
        }
        // A tool let go of the device: answers still due to it are dropped.
        if ((fds[1].revents & POLLIN) && guard.TakeCloses())
            pending.clear();
        if (fds[0].revents & POLLIN) {
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n > 0) {
                peer.AdvanceTo(elapsed());
                peer.Feed(std::span(buffer, std::size_t(n)));
            }
        }
        if (fds[2].revents & (POLLIN | POLLHUP)) {
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0)
                break;
            inputLine.append(reinterpret_cast<const char*>(buffer), std::size_t(n));
            for (std::size_t end; (end = inputLine.find('\n')) != std::string::npos;) {
                std::string line = inputLine.substr(0, end);
                inputLine.erase(0, end + 1);
                while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
                    line.pop_back();
                command(line);
            }
            if (inputLine.size() > 4096)
                inputLine.clear();
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    Options options = ParseOptions(argc, argv);
    MachineModel machine = BuildMachine(options);

    termios raw{};
    ::cfmakeraw(&raw);
    ::cfsetispeed(&raw, B38400);
    ::cfsetospeed(&raw, B38400);
    int master = -1, slave = -1;
    if (::openpty(&master, &slave, nullptr, &raw, nullptr) != 0) {
        std::fprintf(stderr, "mirelle-sim: cannot open a pseudo-terminal: %s\n", std::strerror(errno));
        return 1;
    }
    // The slave stays open here too, so that the master never sees a hang-up
    // while no tool has the device open.
    const std::string device = ::ttyname(slave) ? ::ttyname(slave) : "";
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    if (device.empty()) {
        std::fprintf(stderr, "mirelle-sim: the pseudo-terminal has no name\n");
        return 1;
    }
    if (!options.linkPath.empty() && !MakeLink(options.linkPath, device))
        return 1;
    PtyGuard guard(slave, device);
    if (guard.Fd() < 0)
        std::fprintf(stderr, "mirelle-sim: warning: cannot watch %s (%s): a tool killed while it has the device "
                     "open may leave it unusable\n", device.c_str(), guard.Error().c_str());

    // Signals are blocked except while waiting, so none is missed between a
    // test of the flag and the wait.
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t stopSignals, waitMask;
    sigemptyset(&stopSignals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction action{};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
        sigaddset(&stopSignals, signal);
    }
    ::sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);
    sigdelset(&waitMask, SIGHUP);

    std::printf("%s\n", device.c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "mirelle-sim: machine %08X/%08X on %s%s%s\n", unsigned(machine.Config().hardIdent),
                 unsigned(machine.Config().flashIdent), device.c_str(),
                 options.linkPath.empty() ? "" : ", linked as ", options.linkPath.c_str());

    if (options.replayFile.empty()) {
        Serve(machine, master, guard, waitMask, [&](const std::string& line) { Command(line, machine, options); });
    } else {
        ReplayPeer replay = LoadReplay(options);
        Serve(replay, master, guard, waitMask, [](const std::string&) {});
    }

    const bool saved = SaveFlash(machine, options);
    if (!options.linkPath.empty())
        RemoveLink(options.linkPath, device);
    ::close(master);
    ::close(slave);
    return saved ? 0 : 1;
}
