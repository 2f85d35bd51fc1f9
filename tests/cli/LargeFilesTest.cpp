// mirelle-cli check, restore and decode on files of 4 GiB and more (sparse:
// they take no disk space) and on /dev/zero: each is refused with its text, and the
// process stays small whatever the file's counts and size say.
#include "images/BackupFile.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr std::uint64_t kGiB = 1024ull * 1024 * 1024;
// Far more than the largest valid file needs, far less than a count of a
// file's table taken at its word.
constexpr long kMostKiB = 200 * 1024;

struct MeasuredRun {
    int exitCode = -1;  // -1: it did not end normally
    std::string out;
    long peakKiB = 0;  // the largest resident size it reached
};

std::string Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

// mirelle-cli as a child of its own, so that its peak memory is its own.
// Outside the sanitizers (whose shadow memory takes terabytes of addresses)
// its address space is bounded too, so that a regression fails the test with
// a refused allocation instead of taking the computer's memory.
MeasuredRun RunMeasured(const std::vector<std::string>& arguments, const QString& folder)
{
    std::vector<std::string> words{MIRELLE_CLI_PATH};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const QByteArray outPath = QFile::encodeName(folder + "/out.txt");

    const pid_t pid = ::fork();
    if (pid == 0) {
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
        const rlimit bound{4 * kGiB, 4 * kGiB};
        ::setrlimit(RLIMIT_AS, &bound);
#endif
        const int out = ::open(outPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int in = ::open("/dev/null", O_RDONLY);
        if (out < 0 || in < 0 || ::dup2(out, STDOUT_FILENO) < 0 || ::dup2(in, STDIN_FILENO) < 0)
            ::_exit(127);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    MeasuredRun run;
    int status = 0;
    rusage usage{};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid)
        return run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = Contents(folder + "/out.txt");
    run.peakKiB = usage.ru_maxrss;
    return run;
}

// A file of `size` bytes that begins with `head`, the rest a hole.
bool PutSparse(const QString& path, const QByteArray& head, std::uint64_t size)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(head) == head.size() && file.resize(qint64(size));
}

QByteArray Words(std::initializer_list<std::uint32_t> values)
{
    QByteArray bytes;
    for (const std::uint32_t value : values)
        for (int i = 0; i < 4; ++i)
            bytes.append(char(value >> (8 * i)));
    return bytes;
}

// The header of a backup whose user area is `length` bytes long.
QByteArray BackupHeader(std::uint32_t length)
{
    const std::vector<std::uint8_t> bytes = WriteBackup(MachineBackup{});
    QByteArray header(reinterpret_cast<const char*>(bytes.data()), 108);
    return header + Words({length});
}

TEST(LargeFiles, AreRefusedInBoundedMemory)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    struct Case {
        std::string command;
        std::string name;  // in the folder; or a path from the root
        QByteArray head;
        std::uint64_t size;
        int exitCode;
        std::string out;
    };
    const std::string largeData = "File too large : 4294967295 bytes, more than the machine can address\n";
    const std::string noRecording = "0 exchanges, 0 bytes sent, 0 bytes received, 0.000000 s on the line\n"
                                    "first failure: none\n";
    const Case cases[] = {
        // User program: hardware, version, zone count, sizes, vector count, vectors, data, checksum.
        {"check", "zones.tbu", Words({0, 0, 0xFFFFFFFF}), 16 * kGiB + 64, 3,
         "Too many zones : 4294967295 (80 at most)\n"},
        {"check", "vectors.tbu", Words({0, 0, 1, 16, 0xFFFFFFFF}), 16 * kGiB + 64, 3,
         "Too many vectors : 4294967295 (5592405 at most)\n"},
        {"check", "data.tbu", Words({0, 0, 1, 0xFFFFFFFF, 0}), 4 * kGiB + 64, 3, largeData},
        // Factory image: hard ident, flash ident, erase vector count, vectors, image length, image.
        {"check", "erase.tbf", Words({0, 0, 0xFFFFFFFF}), 16 * kGiB + 64, 3,
         "Too many erase vectors : 4294967295 (16777216 at most)\n"},
        {"check", "image.tbf", Words({0, 0, 0, 0xFFFFFFFF}), 4 * kGiB + 64, 3, largeData},
        {"restore", "zeros.mbk", {}, 4 * kGiB, 3, "Not a usable backup : not a backup file\n"},
        {"restore", "/dev/zero", {}, 0, 3, "Not a usable backup : not a backup file\n"},
        {"restore", "largest.mbk", BackupHeader(BackupFile::kMaxUserAreaLength), 4 * kGiB, 3,
         "Not a usable backup : bytes follow its end\n"},
        {"restore", "huge.mbk", BackupHeader(0xFFFFFFFF), 4 * kGiB, 3,
         "Not a usable backup : its user area is larger than any machine's\n"},
        // A recording is read a line at a time, and no line is longer than an event.
        {"decode", "zeros.rec", {}, 4 * kGiB, 3, noRecording},
        {"decode", "/dev/zero", {}, 0, 3, noRecording},
        {"decode", "endless-line.rec", "mirelle-recording 2\n", 4 * kGiB, 3, noRecording},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command + " " + c.name);
        std::string path = c.name;
        if (!c.name.starts_with("/")) {
            path = folder.filePath(QString::fromStdString(c.name)).toStdString();
            ASSERT_TRUE(PutSparse(QString::fromStdString(path), c.head, c.size));
        }
        const MeasuredRun run = RunMeasured({c.command, path}, folder.path());
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.out, c.out);
        EXPECT_LT(run.peakKiB, kMostKiB);
        if (!c.name.starts_with("/"))
            QFile::remove(QString::fromStdString(path));
    }
}

}  // namespace
