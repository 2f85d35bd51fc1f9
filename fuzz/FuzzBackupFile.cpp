// A backup file from the fuzzer's bytes: what the reader takes must write back
// to the same bytes, and nothing it refuses may be read past its end.
#include "images/BackupFile.h"

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
        if (written.size() != size || !std::equal(written.begin(), written.end(), bytes.begin()))
            std::abort();  // a backup that does not write back as it was read
    }
    return 0;
}
