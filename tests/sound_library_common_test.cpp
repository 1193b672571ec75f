// Reading and opening a module as every sound library does.

#include "music/sound_library_common.h"
#include "tools/make_standins/tiny_module.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string TempPath(const std::string& name)
{
    return testing::TempDir() + "orvane-common-" + std::to_string(getpid()) + "-" + name;
}

void WriteBytes(const std::string& path, const std::vector<char>& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

TEST(ModuleFile, ReadsWholeFilesAndNamesWhatWentWrong)
{
    const std::string file = TempPath("bytes.mod");
    const std::string folder = TempPath("folder.mod");
    std::vector<char> content(200000);
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i * 7919 >> 3);
    WriteBytes(file, content);
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);

    struct Case {
        const char* Name;
        const char* Path;
        int Error;
    };
    const std::string missing = TempPath("absent.mod");
    const std::string underAFile = file + "/cud.mod";
    const Case cases[] = {
        {"a file of several chunks", file.c_str(), SoundErrorNone},
        {"no such file", missing.c_str(), SoundErrorFileNotFound},
        {"a file where a folder should be", underAFile.c_str(), SoundErrorFileNotFound},
        {"no name", nullptr, SoundErrorFileNotFound},
        {"a folder", folder.c_str(), SoundErrorFileBad},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<char> bytes;
        EXPECT_EQ(ReadModuleFile(c.Path, bytes), c.Error);
        if (c.Error == SoundErrorNone) {
            EXPECT_EQ(bytes, content);
        }
    }
    std::remove(file.c_str());
    rmdir(folder.c_str());
}

TEST(ModuleFile, OpensModulesAsTheLiveShowPlaysThem)
{
    const std::vector<unsigned char> tiny = TinyModule(12);
    std::vector<char> module(tiny.begin(), tiny.end());
    std::vector<char> garbage(4000);
    for (std::size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<char>(i * 7919);
    std::vector<char> truncated(module.begin(), module.begin() + 600);

    std::ostringstream log;
    int error = -1;
    EXPECT_EQ(OpenLiveModule(garbage, log, error), nullptr);
    EXPECT_EQ(error, SoundErrorFormat);
    EXPECT_EQ(OpenLiveModule({}, log, error), nullptr);
    EXPECT_EQ(error, SoundErrorFormat);
    EXPECT_EQ(OpenLiveModule(truncated, log, error), nullptr);
    EXPECT_EQ(error, SoundErrorFormat);

    // Loading is reading, then opening: the first failure is the one reported.
    const std::string path = TempPath("tiny.mod");
    WriteBytes(path, module);
    std::vector<char> bytes;
    EXPECT_EQ(LoadLiveModule(TempPath("absent.mod").c_str(), bytes, log, error), nullptr);
    EXPECT_EQ(error, SoundErrorFileNotFound);
    EXPECT_NE(LoadLiveModule(path.c_str(), bytes, log, error), nullptr);
    EXPECT_EQ(error, SoundErrorNone);
    EXPECT_EQ(bytes, module);
    std::remove(path.c_str());

    std::unique_ptr<openmpt::module> song = OpenLiveModule(module, log, error);
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(error, SoundErrorNone);
    EXPECT_EQ(ModuleLengthMs(*song), 12u * TinyModuleRowMs);
    // Played once and stopped at its very end: no repeat, no fade tail.
    std::vector<std::int16_t> block(4096 * 2);
    std::size_t frames = 0, got;
    while ((got = song->read_interleaved_stereo(44100, 4096, block.data())) > 0)
        frames += got;
    EXPECT_EQ(frames, 12u * TinyModuleRowMs * 44100 / 1000);
}
}  // namespace
