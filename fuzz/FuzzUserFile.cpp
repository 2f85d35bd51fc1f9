// A user program (".tbu") from the fuzzer's bytes; when it loads, its zone
// table is built as a download would.
#include "images/UserImage.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    UserImage image;
    LoadUserBytes(std::span(data, size), image);
    if (image.loaded) {
        image.programBase = 0xD2000F;
        image.ZoneTable();
    }
    return 0;
}
