// A factory image (".tbf") from the fuzzer's bytes. Whatever the file's counts
// say, no table grows beyond what the machine takes.
#include "images/FactoryImage.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FactoryImage image;
    LoadFactoryBytes(std::span(data, size), image);
    if (image.eraseVectors.size() > FactoryImage::kMaxEraseVectors
        || image.image.size() > FactoryImage::kMaxImageLength)
        std::abort();  // a count beyond the machine's limits was allocated for
    return 0;
}
