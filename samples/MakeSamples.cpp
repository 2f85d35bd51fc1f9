// make-samples [FOLDER]: writes the sample files into FOLDER (default: the
// current folder), replacing files of the same names.
#include "samples/SampleSet.h"

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv)
{
    if (argc > 2 || (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0))) {
        std::fprintf(argc > 2 ? stderr : stdout,
                     "usage: make-samples [FOLDER]\n"
                     "Writes the sample factory image, user program, boot program and symbol\n"
                     "file into FOLDER (default: the current folder).\n");
        return argc > 2 ? 2 : 0;
    }
    const std::string folder = argc == 2 ? argv[1] : ".";
    for (const auto& file : SampleFiles()) {
        const std::string path = folder + "/" + file.name;
        if (!WriteFileBytes(path, file.bytes)) {
            std::fprintf(stderr, "make-samples: cannot write %s\n", path.c_str());
            return 1;
        }
        std::printf("%s (%zu bytes)\n", path.c_str(), file.bytes.size());
    }
    return 0;
}
