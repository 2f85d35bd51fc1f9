// A factory image (".tbf") from the fuzzer's bytes.
#include "images/FactoryImage.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FactoryImage image;
    LoadFactoryBytes(std::span(data, size), image);
    return 0;
}
