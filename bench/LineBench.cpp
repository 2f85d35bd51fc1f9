// A production line of 1, 4, 8 and 16 simulated machines at the line's real
// pace (mirelle-sim --pace, 38,400 baud), each made by one mirelle-cli line
// run with the sample recipe (factory image, user program, each verified,
// serial number, name, power off) on a SQLite database of its own.
//
// Prints, for each count of machines, the wall time of the run, that time
// against one machine's (the line's promise: at most 1.15 at 8, 1.3 at 16),
// and the CPU time per machine of mirelle-cli and of the simulators. Exits 1
// when a run did not end with every machine made, never for a time.
//
//     line-bench [--machines 1,4,8,16]

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

const QString kSim = QStringLiteral(MIRELLE_SIM_PATH);
const QString kCli = QStringLiteral(MIRELLE_CLI_PATH);
const QString kRecipe = QStringLiteral(QUORVEX_SAMPLES_DIR "/sample-recipe.json");

// The CPU time of the children waited for so far, user and system, in
// seconds: /proc/self/stat's cutime and cstime (fields 16 and 17), counted in
// USER_HZ, 100 a second on Linux. 0 where there is no /proc.
double ChildrenCpuSeconds()
{
    constexpr double kUserHz = 100;
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    // The fields after the command's name, which stands in parentheses.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    constexpr int kCutime = 16 - 3;  // field 3 (state) is the first after the name
    if (fields.size() <= kCutime + 1)
        return 0;
    return (fields[kCutime].toDouble() + fields[kCutime + 1].toDouble()) / kUserHz;
}

struct LineFigures {
    bool made = false;
    double wallSeconds = 0;
    double cliCpuSeconds = 0;
    double simCpuSeconds = 0;
};

// A blank machine served at the line's pace, stopped as it goes.
struct Machine {
    QProcess process;
    QString device;

    Machine()
    {
        process.start(kSim, {"--blank", "--pace"});
        for (QDeadlineTimer deadline(10000); !process.canReadLine() && !deadline.hasExpired();)
            process.waitForReadyRead(100);
        device = QString::fromLocal8Bit(process.readLine()).trimmed();
    }
    ~Machine()
    {
        process.closeWriteChannel();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished();
        }
    }
};

bool RunCli(const QStringList& arguments, QByteArray* err = nullptr)
{
    QProcess cli;
    cli.start(kCli, arguments);
    if (!cli.waitForFinished(600000)) {
        cli.kill();
        cli.waitForFinished();
        return false;
    }
    if (err)
        *err = cli.readAllStandardError();
    return cli.exitStatus() == QProcess::NormalExit && cli.exitCode() == 0;
}

LineFigures RunLine(int count)
{
    LineFigures figures;
    QTemporaryDir folder;
    const QString database = folder.filePath("production.sqlite");
    if (!RunCli({"serials", "add", "sample", "--prefix", "SN", "--first", "1", "--last", "999999", "--digits", "6",
                 "--database", database})) {
        std::fprintf(stderr, "line-bench: cannot add the pool to %s\n", qPrintable(database));
        return figures;
    }
    QStringList arguments{"line", kRecipe, "--database", database, "--quiet"};
    double cpuBefore = 0;
    {
        std::vector<std::unique_ptr<Machine>> machines;
        for (int i = 0; i < count; ++i) {
            machines.push_back(std::make_unique<Machine>());
            if (machines.back()->device.isEmpty()) {
                std::fprintf(stderr, "line-bench: mirelle-sim did not start\n");
                return figures;
            }
            arguments << "--port" << machines.back()->device;
        }
        cpuBefore = ChildrenCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        QByteArray err;
        figures.made = RunCli(arguments, &err);
        figures.wallSeconds = double(wall.nsecsElapsed()) / 1e9;
        figures.cliCpuSeconds = ChildrenCpuSeconds() - cpuBefore;
        if (!figures.made)
            std::fprintf(stderr, "line-bench: the line of %d did not make every machine:\n%s", count, err.constData());
        cpuBefore = ChildrenCpuSeconds();
    }  // the simulators stopped and waited for
    figures.simCpuSeconds = ChildrenCpuSeconds() - cpuBefore;
    return figures;
}

std::vector<int> Counts(const QStringList& arguments)
{
    const qsizetype at = arguments.indexOf("--machines");
    if (at < 0 || at + 1 >= arguments.size())
        return {1, 4, 8, 16};
    std::vector<int> counts;
    for (const QString& each : arguments[at + 1].split(',')) {
        if (const int count = each.toInt(); count > 0)
            counts.push_back(count);
    }
    return counts;
}

// The line's promise for `count` machines against one: none below 8.
double Target(int count)
{
    return count >= 16 ? 1.3 : count >= 8 ? 1.15 : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const std::vector<int> counts = Counts(app.arguments());
    std::printf("%-9s %9s %9s %8s %16s %16s\n", "machines", "wall s", "x one", "target", "cli CPU s/mach.",
                "sim CPU s/mach.");
    double one = 0;
    bool allMade = true;
    for (const int count : counts) {
        const LineFigures figures = RunLine(count);
        allMade = allMade && figures.made;
        if (count == 1)
            one = figures.wallSeconds;
        const double ratio = one > 0 ? figures.wallSeconds / one : 0;
        const double target = Target(count);
        std::printf("%-9d %9.2f %9.2f %8s %16.3f %16.3f%s\n", count, figures.wallSeconds, ratio,
                    target > 0 ? qPrintable(QString::number(target, 'f', 2)) : "-", figures.cliCpuSeconds / count,
                    figures.simCpuSeconds / count,
                    !figures.made ? "  (not every machine made)"
                        : target > 0 && one > 0 && ratio > target ? "  (missed)"
                                                                   : "");
        std::fflush(stdout);
    }
    return allMade ? 0 : 1;
}
