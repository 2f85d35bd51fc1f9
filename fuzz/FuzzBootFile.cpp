// A boot program (".tb") from the fuzzer's bytes.
#include "images/BootImage.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    BootImage image;
    LoadBootBytes(std::span(data, size), image);
    return 0;
}
