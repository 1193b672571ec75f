#include "tests/support/picture_files.h"

#include "assets/scene.h"
#include "tools/make_standins/pcx_writer.h"
#include "tools/make_standins/pictures.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

std::uint8_t TestPictureGrey(int picture, int x, int y)
{
    return static_cast<std::uint8_t>((x * (picture + 1) + y * (7 - picture) + 31 * picture) & 0xFF);
}

namespace {
std::string NewFolder()
{
    char folder[] = "/tmp/orvane-pictures-XXXXXX";
    if (!mkdtemp(folder))
        std::abort();
    return folder;
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        std::abort();
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

std::string WritePictures(const std::string& leaveOut, std::uint8_t (*grey)(int picture, int x, int y))
{
    const std::string folder = NewFolder();
    for (int picture = 0; picture < 7; ++picture) {
        const char* const name = PictureTextures[picture].fileName;
        if (leaveOut == name)
            continue;
        // An encoder of its own, apart from make-standins', so that the
        // reader is checked against a second opinion of the format.
        std::vector<std::uint8_t> bytes(128, 0);
        for (int y = 0; y < 512; ++y)
            for (int x = 0; x < 512; ++x) {
                const std::uint8_t level = grey(picture, x, y);
                if (level >= 0xC0)
                    bytes.push_back(0xC1);  // such levels can only be stored as runs
                bytes.push_back(level);
            }
        WriteFile(folder + "/" + name, bytes);
    }
    return folder;
}

const std::uint8_t* FlatLevels = nullptr;
std::uint8_t FlatGrey(int picture, int, int) { return FlatLevels[picture]; }
}  // namespace

std::string WriteTestPictures(const std::string& leaveOut) { return WritePictures(leaveOut, TestPictureGrey); }

std::string WriteFlatTestPictures(const std::uint8_t levels[7])
{
    FlatLevels = levels;
    return WritePictures("", FlatGrey);
}

std::string WriteStandInPictures()
{
    const std::string folder = NewFolder();
    for (const PictureTexture& picture : PictureTextures)
        WriteFile(folder + "/" + picture.fileName, WritePcx(DrawPicture(picture.fileName), PictureSide, PictureSide));
    return folder;
}

void InitSceneIn(const std::string& folder)
{
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    InitScene();
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(folder);
}
