#include "images/FactoryImage.h"

#include "images/FileReader.h"

void FactoryImage::Release()
{
    std::vector<std::uint32_t>().swap(eraseVectors);
    std::vector<std::uint8_t>().swap(image);
    loaded = false;
}

FactoryImage& TheFactoryImage()
{
    static FactoryImage image;
    return image;
}

namespace {

// The one load of a factory image, from a file or from memory; `opened` tells
// whether the reader has something to read.
void LoadFactory(FileReader& file, bool opened, FactoryImage& image)
{
    image.loaded = false;
    try {
        if (!opened)
            throw LoadError(kUnableToOpen);
        image.hardIdent = file.U32();
        image.flashIdent = file.U32();
        image.eraseVectorCount = file.U32();
        file.Table(image.eraseVectors, image.eraseVectorCount,
                   {FactoryImage::kMaxEraseVectors, "erase vectors"});
        image.imageLength = file.U32();
        file.Block(image.image, image.imageLength, FactoryImage::kMaxImageLength);
        file.Close();
        image.statusText = FormatText(
            "File is ok : image = %u bytes with %u erase vectors, hard ident %08X, flash ident %08X",
            image.imageLength, image.eraseVectorCount, image.hardIdent, image.flashIdent);
        image.loaded = true;
    } catch (const LoadError& error) {
        image.statusText = error.what();
    }
}

}  // namespace

void LoadFactoryFile(const std::string& path, FactoryImage& image)
{
    FileReader file;
    const bool opened = file.Open(path);
    LoadFactory(file, opened, image);
}

void LoadFactoryBytes(std::span<const std::uint8_t> bytes, FactoryImage& image)
{
    FileReader file;
    file.OpenBytes(bytes);
    LoadFactory(file, true, image);
}
