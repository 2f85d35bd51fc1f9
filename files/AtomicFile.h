#pragma once

#include <QSaveFile>
#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <string>

// A file the tool writes (a flash read, a backup, a console log), replaced
// whole or not at all: the bytes go to a temporary file beside it, which
// takes its name only once every byte is written. What stands under the
// name is looked at first: a device node, a FIFO, a socket or a folder is
// never replaced by a plain file, nor a file with other hard links (a
// replace would cut them off). A symbolic link is followed: its target is
// replaced. The new file keeps the old one's mode (a new one 0666 less the
// umask), never writable by others, and, for root, the old one's owner and
// group.
class AtomicFile {
public:
    explicit AtomicFile(const QString& path);

    // Before anything is read for it: why the file cannot be written (for
    // /dev/null "not a regular file; give a file name", or the system's
    // reason), or nothing when its temporary file is open.
    std::optional<std::string> Open();
    // Writes every byte and gives the file its name: nothing when done, else
    // the system's reason ("No space left on device"); the old file is then
    // kept as it was, and no temporary file is left.
    std::optional<std::string> Commit(std::span<const std::uint8_t> bytes);

private:
    QString path;
    QSaveFile file;  // its temporary file goes when it is not committed
};
