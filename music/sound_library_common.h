#pragma once
// What every sound library does alike with a module file: reading it whole,
// with the library's error codes, and opening it with libopenmpt as the live
// show plays it. Used by the live, offline and web libraries; any thread.

#include "music/sound_library.h"

#include <libopenmpt/libopenmpt.hpp>

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <vector>

// Reads the whole file into bytes (appended). SoundErrorNone on success;
// SoundErrorFileNotFound when there is no such file, SoundErrorFileBad when
// it cannot be read (a folder, a read error), SoundErrorMemory.
int ReadModuleFile(const char* fileName, std::vector<char>& bytes);

// The module in bytes, set up as the live show plays it: once, ending
// exactly at its end (no fade tail after it). Null on failure, with error
// set to SoundErrorFormat (not a module) or SoundErrorMemory. libopenmpt
// writes its messages to log, which must outlive the module.
std::unique_ptr<openmpt::module> OpenLiveModule(const std::vector<char>& bytes, std::ostream& log, int& error);

// ReadModuleFile, then OpenLiveModule: what loading a song is in every
// library. Null on either failure, with error set; bytes receives the file.
std::unique_ptr<openmpt::module> LoadLiveModule(const char* fileName, std::vector<char>& bytes, std::ostream& log,
                                                int& error);

// The module's playing time in whole milliseconds, rounded.
std::uint32_t ModuleLengthMs(const openmpt::module& module);
