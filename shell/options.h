#pragma once
// The command line: the show's own options, and GLUT's, which pass through
// to glutInit untouched. RunProgram takes it before anything else runs.

#include <string>
#include <vector>

enum class OptionsVerdict { Play, Help, Version, Wrong };

struct Options {
    OptionsVerdict verdict = OptionsVerdict::Play;
    bool window = false;          // --window: no display-mode switch, no full screen
    bool keepAspect = false;      // --keep-aspect: the picture 4:3 between black bars
    std::string folder;           // --folder DIR; empty: the data folder built in
    std::string display;          // GLUT's -display NAME, "" when not given
    std::vector<char*> glutArgs;  // the program's name and GLUT's options, in their order
    std::string problem;          // what is wrong, when the verdict is Wrong
};

// Reads the command line; prints nothing and changes nothing. The first
// --help, --version or wrong argument decides the verdict.
Options ParseOptions(int argc, char** argv);

// Acts on the command line for the show: --help and --version print and
// end the process with 0; a wrong argument ends it with a usage line on
// standard error and exit code 2, and so does a folder that cannot be
// entered. Otherwise turns FullScreen off for --window, KeepAspect on for
// --keep-aspect, makes -display's
// name the display of every X connection, enters the show's folder, and
// returns the arguments for glutInit, ending in a null pointer.
std::vector<char*> TakeCommandLine(int argc, char** argv);

// Makes `folder` the working folder, or the data folder built in when
// `folder` is empty; with neither it stays where it is. The show reads its
// files by their own names from there. False, with the reason in `problem`,
// when the folder cannot be entered.
bool EnterShowFolder(const std::string& folder, std::string& problem);
