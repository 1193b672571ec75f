#include "music/sound_library_common.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <new>
#include <ostream>

int ReadModuleFile(const char* fileName, std::vector<char>& bytes)
{
    if (fileName == nullptr)
        return SoundErrorFileNotFound;
    std::FILE* file = std::fopen(fileName, "rb");
    if (file == nullptr)
        return (errno == ENOENT || errno == ENOTDIR) ? SoundErrorFileNotFound : SoundErrorFileBad;
    int error = SoundErrorNone;
    try {
        char chunk[65536];
        std::size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
            bytes.insert(bytes.end(), chunk, chunk + got);
        if (std::ferror(file))
            error = SoundErrorFileBad;  // a folder opens on some systems and fails here
    } catch (const std::bad_alloc&) {
        error = SoundErrorMemory;
    }
    std::fclose(file);
    return error;
}

std::unique_ptr<openmpt::module> OpenLiveModule(const std::vector<char>& bytes, std::ostream& log, int& error)
{
    error = SoundErrorNone;
    try {
        std::unique_ptr<openmpt::module> module(new openmpt::module(bytes, log));
        module->set_repeat_count(0);
        module->ctl_set_text("play.at_end", "stop");
        return module;
    } catch (const std::bad_alloc&) {
        error = SoundErrorMemory;
    } catch (...) {
        error = SoundErrorFormat;  // libopenmpt throws its own exception for anything it cannot read
    }
    return nullptr;
}

std::unique_ptr<openmpt::module> LoadLiveModule(const char* fileName, std::vector<char>& bytes, std::ostream& log,
                                                int& error)
{
    error = ReadModuleFile(fileName, bytes);
    return error == SoundErrorNone ? OpenLiveModule(bytes, log, error) : nullptr;
}

std::uint32_t ModuleLengthMs(const openmpt::module& module)
{
    return static_cast<std::uint32_t>(std::llround(module.get_duration_seconds() * 1000.0));
}
