#include "files/AtomicFile.h"

#include "files/TargetFacts.h"

namespace {

std::string Reason(const QFileDevice& file)
{
    return file.errorString().toLocal8Bit().toStdString();
}

}  // namespace

AtomicFile::AtomicFile(const QString& path) : path(path), file(path) {}

std::optional<std::string> AtomicFile::Open()
{
    const TargetFacts old = ExamineTarget(path);
    if (old.exists && !old.regular)
        return std::string("not a regular file; give a file name");
    if (old.exists && old.hardLinks > 1)
        return "has " + std::to_string(old.hardLinks)
            + " hard links, which replacing it would cut off; give another file name";
    // Unbuffered: a failed write is seen at the write, with its reason,
    // not at commit(), which only says that something failed.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return Reason(file);
    if (auto refused = TakeOverOwnerAndMode(file.handle(), old)) {
        file.cancelWriting();
        return refused;
    }
    return std::nullopt;
}

std::optional<std::string> AtomicFile::Commit(std::span<const std::uint8_t> bytes)
{
    // A short write is no error to the file: the rest follows until every
    // byte is taken or a write fails, whose reason is the system's.
    while (!bytes.empty()) {
        const qint64 written = file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
        if (written <= 0) {
            std::string reason = Reason(file);
            file.cancelWriting();
            return reason;
        }
        bytes = bytes.subspan(std::size_t(written));
    }
    if (file.commit())
        return std::nullopt;
    return Reason(file);
}
