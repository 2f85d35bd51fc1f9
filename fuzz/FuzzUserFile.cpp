// A user program (".tbu") from the fuzzer's bytes; when it loads, its zone
// table is built as a download would. Whatever the file's counts say, no
// table grows beyond what the machine takes.
#include "images/UserImage.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    UserImage image;
    LoadUserBytes(std::span(data, size), image);
    if (image.zoneSizes.size() > UserImage::kMaxZones || image.vectors.size() > UserImage::kMaxVectors
        || image.data.size() > UserImage::kMaxAddressableData)
        std::abort();  // a count beyond the machine's limits was allocated for
    if (image.loaded) {
        image.programBase = 0xD2000F;
        image.ZoneTable();
    }
    return 0;
}
