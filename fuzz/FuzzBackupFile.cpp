// A backup file from the fuzzer's bytes: what the reader takes must write back
// to the same bytes (a file of format version 1, which had no date, writes
// back as version 2, dated 1970, and reads back as so written), and nothing it refuses may be
// read past its end. Read as
// a file is read (its header first, then what the header allows), the bytes
// get the same verdict, and no more of them is read than the largest backup
// and one byte.
#include "images/BackupFile.h"

#include <QBuffer>
#include <QByteArray>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    const BackupRead read = ReadBackup(bytes);
    if (read.backup) {
        const std::vector<std::uint8_t> written = WriteBackup(*read.backup);
        if (read.backup->takenAt) {
            if (written.size() != size || !std::equal(written.begin(), written.end(), bytes.begin()))
                std::abort();  // a backup that does not write back as it was read
        } else {
            const BackupRead again = ReadBackup(written);
            if (!again.backup || WriteBackup(*again.backup) != written)
                std::abort();  // an older backup that does not read back as it was
        }
    }

    QByteArray contents = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer device(&contents);
    device.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    const BackupRead streamed = ReadBackup(device);
    if (streamed.error != read.error || streamed.unreadable || bool(streamed.backup) != bool(read.backup))
        std::abort();  // read from a device, another verdict than on the whole bytes
    if (std::uint64_t(device.pos()) > BackupFile::kMaxFileSize + 1)
        std::abort();  // read further than any backup reaches
    return 0;
}
