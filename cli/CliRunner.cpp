#include "CliRunner.h"

#include "CliOptions.h"
#include "DeviceLink.h"
#include "ExitCode.h"
#include "FactoryImage.h"
#include "BootImage.h"
#include "Interrupt.h"
#include "MachineInfo.h"
#include "MachineInfoJson.h"
#include "MachinePanel.h"
#include "Progress.h"
#include "QtPortBackend.h"
#include "Settings.h"
#include "SymbolTable.h"
#include "TracingBackend.h"
#include "UserImage.h"
#include "UserDownloadStart.h"

#include <QString>

#include <chrono>
#include <thread>

namespace {

// Polls of a busy erase are spaced by this much; everything else runs back to back.
constexpr std::chrono::milliseconds kErasePollPause{5};

// Texts from the machine and from files are bytes, one Latin-1 character each.
std::string Printable(const std::string& latin1)
{
    return QString::fromLatin1(latin1.data(), qsizetype(latin1.size())).toStdString();
}

class Cli {
public:
    Cli(const CliOptions& options, std::FILE* out, std::FILE* err) : options(options), out(out), err(err) {}

    int Run()
    {
        const std::string& command = options.command;
        if (command == "check")
            return Check(options.arguments[0]);
        if (command == "download")
            return Download(options.arguments[0]);
        OpenLink();
        if (command == "ident")
            return Ident();
        return Info();
    }

private:
    void Say(const std::string& line)
    {
        std::fprintf(out, "%s\n", Printable(line).c_str());
        std::fflush(out);  // results keep their place among progress lines
    }
    void Complain(const std::string& line) { std::fprintf(err, "mirelle-cli: %s\n", line.c_str()); }

    // Opens the port given with --port, else the one the tool has stored. A
    // port that cannot be opened is said on standard error; the link exists
    // all the same, and the readout then finds no machine, as the window's would.
    void OpenLink()
    {
        std::unique_ptr<PortBackend> backend = std::make_unique<QtPortBackend>();
        if (options.trace)
            backend = std::make_unique<TracingBackend>(std::move(backend), err);
        link = std::make_unique<DeviceLink>(std::move(backend));

        std::string portName;
        if (options.port) {
            portName = *options.port;
        } else {
            try {
                ReadSetting("ComPort", portName);
            } catch (const SettingsError& error) {
                Complain(error.what());
            }
        }
        if (portName.empty()) {
            Complain("No port selected: give --port NAME");
            return;
        }
        if (!link->OpenPort(portName))
            Complain(portName + " : Not available");
    }

    int Ident()
    {
        MachineInfo& info = TheMachineInfo();
        ReadIdentOnly(*link, info);
        Say(info.answered ? info.identText : info.statusText);
        return info.answered ? kDone : kNoAnswer;
    }

    void PrintPanel(const MachineInfo& info)
    {
        if (options.json) {
            std::fputs(MachineInfoJson(info).c_str(), out);
            return;
        }
        const MachinePanel panel = FillMachinePanel(info);
        Say("Status\t" + panel.statusText);
        for (const PanelRow& row : panel.rows)
            Say(row.caption + "\t" + row.text);
    }

    int Info()
    {
        MachineInfo& info = TheMachineInfo();
        ReadMachineInfo(*link, info);
        PrintPanel(info);
        return info.answered ? kDone : kNoAnswer;
    }

    std::string FileKind(const std::string& path)
    {
        if (options.kind)
            return *options.kind;
        const QString suffix = QString::fromStdString(path).section('.', -1).toLower();
        if (suffix == "tbu") return "user";
        if (suffix == "tbf") return "factory";
        if (suffix == "tb") return "boot";
        if (suffix == "tfs") return "symbols";
        return {};
    }

    int Check(const std::string& path)
    {
        const std::string kind = FileKind(path);
        bool loaded = false;
        if (kind == "user") {
            LoadUserFile(path);
            Say(TheUserImage().statusText);
            loaded = TheUserImage().loaded;
        } else if (kind == "factory") {
            LoadFactoryFile(path);
            Say(TheFactoryImage().statusText);
            loaded = TheFactoryImage().loaded;
        } else if (kind == "boot") {
            LoadBootFile(path);
            Say(TheBootImage().statusText);
            loaded = TheBootImage().loaded;
        } else if (kind == "symbols") {
            SymbolTable& table = TheSymbolTable();
            loaded = table.LoadSymbolFile(path);
            Say(std::string(loaded ? "File loaded" : "File not loaded") + "\t" + std::to_string(table.Count())
                + " records");
        } else {
            Complain("cannot tell the kind of '" + path + "' from its extension: give --kind");
            return kUsage;
        }
        return loaded ? kDone : kFileRefused;
    }

    int Download(const std::string& path)
    {
        UserImage& image = TheUserImage();
        LoadUserFile(path, image);
        if (!image.loaded) {
            Say(image.statusText);
            return kFileRefused;
        }
        KeepUserImageAsLoaded(image);
        std::fprintf(err, "%s\n", Printable(image.statusText).c_str());
        std::fflush(err);
        OpenLink();

        MachineInfo& info = TheMachineInfo();
        UserDownloadStart start = StartUserDownload(*link, info, image);
        if (!start.check.Accepted()) {
            Say(start.check.text);
            switch (start.check.refusal) {
            case UserDownloadRefusal::NoAnswer: return kNoAnswer;
            case UserDownloadRefusal::NotLoaded: return kFileRefused;
            default: return kMachineRefused;
            }
        }

        UserDownload& download = *start.download;
        {
            InterruptGuard interrupt;
            ProgressDisplay progress(err);
            while (!download.IsFinished()) {
                if (InterruptGuard::Requested())
                    download.Abort();
                download.Tick();
                const auto shown = download.CurrentProgress();
                if (!download.IsFinished())
                    progress.Show(download.StatusText(), shown.position, shown.maximum);
                if (download.ErasePending())
                    std::this_thread::sleep_for(kErasePollPause);
            }
        }
        Say(download.ResultText());

        // As the window does: read the machine again so the new versions show.
        ReadMachineInfo(*link, info);
        switch (download.Outcome()) {
        case UserDownload::Result::Done: return kDone;
        case UserDownload::Result::NoAnswer: return kNoAnswer;
        case UserDownload::Result::Aborted: return kAborted;
        default: return kMachineRefused;
        }
    }

    const CliOptions& options;
    std::FILE* out;
    std::FILE* err;
    std::unique_ptr<DeviceLink> link;
};

}  // namespace

int RunCli(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err)
{
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    if (parsed.options.help) {
        std::fputs(UsageText().c_str(), out);
        return kDone;
    }
    if (!parsed.error.empty()) {
        std::fprintf(err, "mirelle-cli: %s\n\n%s", parsed.error.c_str(), UsageText().c_str());
        return kUsage;
    }
    return Cli(parsed.options, out, err).Run();
}
