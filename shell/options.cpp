#include "shell/options.h"

#include "shell/settings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {
struct GlutOption {
    const char* name;
    bool takesValue;
};

// The options that freeglut's glutInit reads itself and removes.
constexpr GlutOption GlutOptions[] = {
    {"-display", true}, {"-geometry", true}, {"-iconic", false}, {"-direct", false},
    {"-indirect", false}, {"-gldebug", false}, {"-sync", false},
};

const char* const UsageLine =
    "usage: orvane [--window] [--keep-aspect] [--folder DIR] [-display NAME] [-geometry WxH+X+Y] [--help]\n"
    "              [--version]\n";

const GlutOption* FindGlutOption(const std::string& argument)
{
    for (const GlutOption& option : GlutOptions)
        if (argument == option.name)
            return &option;
    return nullptr;
}

Options Wrong(Options options, const std::string& problem)
{
    options.verdict = OptionsVerdict::Wrong;
    options.problem = problem;
    return options;
}

std::string FolderHelp()
{
    const std::string builtIn = DataFolder;
    return builtIn.empty() ? "the working folder" : builtIn;
}

void PrintHelp()
{
    std::printf("%s", UsageLine);
    if (FullScreen)
        std::printf("Plays the show full screen until its music ends; Escape ends it at once. It\n"
                    "switches the display to %d by %d at %d bits per pixel where the display offers\n"
                    "that mode, and puts the mode back at the end.\n",
                    WindowWidth, WindowHeight, ColorDepth);
    else
        std::printf("Plays the show in a window of %d by %d until its music ends; Escape ends it\n"
                    "at once.\n",
                    WindowWidth, WindowHeight);
    std::printf("  --window       play in a window of %d by %d and leave the display mode alone\n"
                "  --keep-aspect  keep the picture 4:3, centred between black bars, on a screen or\n"
                "                 window of another shape (by default it is stretched to fill it)\n"
                "  --folder DIR   read cud.mod and the seven pictures from DIR\n"
                "                 (default: %s)\n"
                "  --help         print this and end\n"
                "  --version      print the version and end\n"
                "GLUT's own options -display NAME, -geometry WxH+X+Y, -iconic, -direct, -indirect,\n"
                "-gldebug and -sync go to GLUT; the show then sets its window's size and place.\n",
                WindowWidth, WindowHeight, FolderHelp().c_str());
}

[[noreturn]] void EndWith(int exitCode)
{
    std::fflush(stdout);
    std::exit(exitCode);
}

// The display GLUT opens becomes the one of the display-mode switch and the
// window watch too, which open theirs from the environment.
void UseDisplay(const std::string& name)
{
    static std::string variable;
    variable = "DISPLAY=" + name;
    putenv(variable.data());
}
}  // namespace

Options ParseOptions(int argc, char** argv)
{
    Options options;
    if (argc > 0)
        options.glutArgs.push_back(argv[0]);
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            options.verdict = OptionsVerdict::Help;
            return options;
        }
        if (argument == "--version") {
            options.verdict = OptionsVerdict::Version;
            return options;
        }
        if (argument == "--window") {
            options.window = true;
        } else if (argument == "--keep-aspect") {
            options.keepAspect = true;
        } else if (argument == "--folder" || argument.rfind("--folder=", 0) == 0) {
            const bool joined = argument != "--folder";
            if (!joined && i + 1 >= argc)
                return Wrong(options, "--folder needs a folder");
            options.folder = joined ? argument.substr(std::strlen("--folder=")) : argv[++i];
            if (options.folder.empty())
                return Wrong(options, "--folder needs a folder");
        } else if (const GlutOption* glut = FindGlutOption(argument)) {
            if (glut->takesValue && i + 1 >= argc)
                return Wrong(options, argument + " needs a value");
            options.glutArgs.push_back(argv[i]);
            if (glut->takesValue)
                options.glutArgs.push_back(argv[++i]);
            if (argument == "-display")
                options.display = argv[i];
        } else if (!argument.empty() && argument[0] == '-') {
            return Wrong(options, "unknown option " + argument);
        } else {
            return Wrong(options, "unexpected argument " + argument);
        }
    }
    return options;
}

std::vector<char*> TakeCommandLine(int argc, char** argv)
{
    Options options = ParseOptions(argc, argv);
    switch (options.verdict) {
    case OptionsVerdict::Help:
        PrintHelp();
        EndWith(0);
    case OptionsVerdict::Version:
        std::printf("orvane %s\n", ORVANE_VERSION);
        EndWith(0);
    case OptionsVerdict::Wrong:
        std::fprintf(stderr, "orvane: %s\n%s", options.problem.c_str(), UsageLine);
        EndWith(2);
    case OptionsVerdict::Play:
        break;
    }
    if (options.window)
        FullScreen = false;
    if (options.keepAspect)
        KeepAspect = true;
    if (!options.display.empty())
        UseDisplay(options.display);
    std::string problem;
    if (!EnterShowFolder(options.folder, problem)) {
        std::fprintf(stderr, "orvane: %s\n", problem.c_str());
        EndWith(2);
    }
    options.glutArgs.push_back(nullptr);
    return options.glutArgs;
}

bool EnterShowFolder(const std::string& folder, std::string& problem)
{
    const std::string target = folder.empty() ? std::string(DataFolder) : folder;
    if (target.empty())
        return true;
    std::error_code error;
    std::filesystem::current_path(target, error);
    if (error) {
        problem = "cannot read the show's files from " + target + ": " + error.message();
        return false;
    }
    return true;
}
