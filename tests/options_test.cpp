#include "shell/options.h"

#include "shell/settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Case {
    std::vector<std::string> args;  // after the program's name
    OptionsVerdict verdict;
    bool window;
    std::string folder;
    std::vector<std::string> glutArgs;  // after the program's name
    std::string problem;
    std::string display = "";  // -display's name
    bool keepAspect = false;
};

const Case Cases[] = {
    {{}, OptionsVerdict::Play, false, "", {}, ""},
    {{"--window"}, OptionsVerdict::Play, true, "", {}, ""},
    {{"--folder", "/srv/show"}, OptionsVerdict::Play, false, "/srv/show", {}, ""},
    {{"--folder=my show"}, OptionsVerdict::Play, false, "my show", {}, ""},
    {{"--folder", "a", "--folder", "b"}, OptionsVerdict::Play, false, "b", {}, ""},
    {{"--help"}, OptionsVerdict::Help, false, "", {}, ""},
    {{"-h"}, OptionsVerdict::Help, false, "", {}, ""},
    {{"--window", "--version"}, OptionsVerdict::Version, true, "", {}, ""},
    // GLUT's options go through in their order, values included.
    {{"-geometry", "640x480+10+20", "--window"}, OptionsVerdict::Play, true, "", {"-geometry", "640x480+10+20"}, ""},
    {{"-display", ":5", "-iconic", "-sync", "--folder", "d", "-direct", "-indirect", "-gldebug"},
     OptionsVerdict::Play, false, "d", {"-display", ":5", "-iconic", "-sync", "-direct", "-indirect", "-gldebug"}, "", ":5"},
    // A value that looks like an option is still the option's value.
    {{"-geometry", "--window"}, OptionsVerdict::Play, false, "", {"-geometry", "--window"}, ""},
    // The first wrong argument decides, before a later --help.
    {{"--fullscreen", "--help"}, OptionsVerdict::Wrong, false, "", {}, "unknown option --fullscreen"},
    {{"-window"}, OptionsVerdict::Wrong, false, "", {}, "unknown option -window"},
    {{"cud.mod"}, OptionsVerdict::Wrong, false, "", {}, "unexpected argument cud.mod"},
    {{"--folder"}, OptionsVerdict::Wrong, false, "", {}, "--folder needs a folder"},
    {{"--folder="}, OptionsVerdict::Wrong, false, "", {}, "--folder needs a folder"},
    {{"-display"}, OptionsVerdict::Wrong, false, "", {}, "-display needs a value"},
    {{"--window", "-geometry"}, OptionsVerdict::Wrong, true, "", {}, "-geometry needs a value"},
    {{"--keep-aspect"}, OptionsVerdict::Play, false, "", {}, "", "", true},
    {{"--window", "--keep-aspect", "-iconic"}, OptionsVerdict::Play, true, "", {"-iconic"}, "", "", true},
    {{"--keep-aspect=yes"}, OptionsVerdict::Wrong, false, "", {}, "unknown option --keep-aspect=yes"},
};

// argv as main receives it: the strings live in `storage`.
std::vector<char*> Argv(std::vector<std::string>& storage)
{
    std::vector<char*> argv;
    for (std::string& argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    return argv;
}

TEST(Options, CommandLines)
{
    for (const Case& c : Cases) {
        std::vector<std::string> storage{"orvane"};
        storage.insert(storage.end(), c.args.begin(), c.args.end());
        std::vector<char*> argv = Argv(storage);
        const Options options = ParseOptions(static_cast<int>(storage.size()), argv.data());

        std::string line;
        for (const std::string& argument : c.args)
            line += " " + argument;
        SCOPED_TRACE("orvane" + line);
        EXPECT_EQ(options.verdict, c.verdict);
        EXPECT_EQ(options.window, c.window);
        EXPECT_EQ(options.folder, c.folder);
        EXPECT_EQ(options.problem, c.problem);
        EXPECT_EQ(options.display, c.display);
        EXPECT_EQ(options.keepAspect, c.keepAspect);
        ASSERT_FALSE(options.glutArgs.empty());
        EXPECT_EQ(options.glutArgs[0], argv[0]);  // GLUT gets the program's own name
        const std::vector<std::string> glutArgs(options.glutArgs.begin() + 1, options.glutArgs.end());
        EXPECT_EQ(glutArgs, c.glutArgs);
    }
}

class ShowFolder : public ::testing::Test {
protected:
    void SetUp() override { start = std::filesystem::current_path(); }
    void TearDown() override { std::filesystem::current_path(start); }
    std::filesystem::path start;
};

TEST_F(ShowFolder, GivenFolderBecomesTheWorkingFolder)
{
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "orvane-options-test";
    std::filesystem::create_directories(folder);
    std::string problem;
    EXPECT_TRUE(EnterShowFolder(folder.string(), problem));
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::canonical(folder));
    EXPECT_EQ(problem, "");
    std::filesystem::current_path(start);
    std::filesystem::remove(folder);
}

TEST_F(ShowFolder, NoFolderGivenMeansTheOneBuiltIn)
{
    std::string problem;
    const bool entered = EnterShowFolder("", problem);
    if (std::string(DataFolder).empty()) {
        EXPECT_TRUE(entered);
        EXPECT_EQ(std::filesystem::current_path(), start);
    } else if (entered) {
        EXPECT_EQ(std::filesystem::current_path(), std::filesystem::canonical(DataFolder));
    }
}

TEST_F(ShowFolder, FolderThatCannotBeEnteredIsNamedWithTheReason)
{
    std::string problem;
    for (const char* folder : {"/nonexistent/orvane-show", "/etc/hostname"}) {
        EXPECT_FALSE(EnterShowFolder(folder, problem));
        EXPECT_NE(problem.find(folder), std::string::npos) << problem;
        EXPECT_EQ(std::filesystem::current_path(), start);
    }
    EXPECT_NE(problem.find("Not a directory"), std::string::npos) << problem;
}

TEST(CommandLine, WindowTurnsFullScreenOffAndWrongOptionsEndWithTwo)
{
    const bool saved = FullScreen;
    FullScreen = true;
    std::vector<std::string> storage{"orvane", "--window", "-sync"};
    std::vector<char*> argv = Argv(storage);
    const std::vector<char*> glutArgs = TakeCommandLine(3, argv.data());
    EXPECT_FALSE(FullScreen);
    ASSERT_EQ(glutArgs.size(), 3u);  // the name, -sync, and the closing null
    EXPECT_STREQ(glutArgs[1], "-sync");
    EXPECT_EQ(glutArgs[2], nullptr);
    FullScreen = saved;

    EXPECT_FALSE(KeepAspect);  // the show as made
    std::vector<std::string> kept{"orvane", "--keep-aspect"};
    std::vector<char*> keptArgv = Argv(kept);
    TakeCommandLine(2, keptArgv.data());
    EXPECT_TRUE(KeepAspect);
    EXPECT_EQ(FullScreen, saved);
    KeepAspect = false;

    std::vector<std::string> wrong{"orvane", "--fullscreen"};
    std::vector<char*> wrongArgv = Argv(wrong);
    EXPECT_EXIT(TakeCommandLine(2, wrongArgv.data()), ::testing::ExitedWithCode(2),
                "orvane: unknown option --fullscreen\nusage: orvane ");
}

}  // namespace
