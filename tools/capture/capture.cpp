// orvane-capture: renders frames of the show off-screen from the show's own
// frame code, with a clock that it sets itself. Reads the show's files from
// the show's data folder (--folder DIR, or the one built in, or the working
// folder); output paths are the user's, taken from where it was started.
//
//   orvane-capture --still MS [--still MS ...] [--fps N] [--size WxH] [--stretch] [--out-dir DIR] [--folder DIR]
//   orvane-capture --sheet FILE.png [--fps N] [--folder DIR]
//   orvane-capture --video FILE.mp4 [--fps N] [--size WxH] [--from MS] [--to MS] [--stretch] [--timings] [--folder DIR]

#include "assets/scene.h"
#include "music/offline_clock.h"
#include "shell/options.h"
#include "tools/capture/capture_gl.h"
#include "tools/capture/contact_sheet.h"
#include "tools/capture/frame_targets.h"
#include "tools/capture/png_file.h"
#include "tools/capture/show_run.h"
#include "tools/capture/video_capture.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace {
constexpr int FrameWidth = 800;
constexpr int FrameHeight = 600;
constexpr int SheetColumns = 4;

struct Request {
    std::vector<std::uint32_t> stills;
    std::string outDir = ".";
    std::string sheetPath;
    std::string folder;  // --folder; empty: the show's default folder
    int fps = 60;
    VideoRequest video;  // video.path empty: no video; its size and stretch are the stills' too
    bool videoOnly = false;  // an option that only --video takes was given
    bool sized = false;      // --size or --stretch: not for a sheet
};

const char* const Usage =
    "usage: orvane-capture --still MS [--still MS ...] [--fps N] [--size WxH] [--stretch]\n"
    "                      [--out-dir DIR] [--folder DIR]\n"
    "       orvane-capture --sheet FILE.png [--fps N] [--folder DIR]\n"
    "       orvane-capture --video FILE.mp4 [--fps N] [--size WxH] [--from MS] [--to MS]\n"
    "                      [--stretch] [--timings] [--folder DIR]\n"
    "Reads the show's files from DIR (default: the show's own folder). Writes\n"
    "still-MS.png for each MS, or a contact sheet of the show; frames run from\n"
    "0 ms at N per second (default 60).\n"
    "--video renders every frame from MS (default 0) to MS (default the show's end)\n"
    "with the soundtrack into an MP4 as video sites ask for uploads (H.264 High,\n"
    "AAC-LC at 48 kHz) with ffmpeg; --timings says where the time went.\n"
    "--size defaults to 800x600; 1440x1080 and 2880x2160 are the 4:3 sizes video\n"
    "sites serve best. The picture keeps its 4:3 shape between black bars unless\n"
    "--stretch.\n";

[[noreturn]] void Fail(int exitCode, const std::string& message)
{
    std::fprintf(stderr, "orvane-capture: %s\n", message.c_str());
    std::exit(exitCode);
}

[[noreturn]] void FailUsage(const std::string& message)
{
    std::fprintf(stderr, "orvane-capture: %s\n%s", message.c_str(), Usage);
    std::exit(2);
}

// A whole decimal number in [low, high], or a usage failure naming `what`.
std::uint32_t ParseNumber(const char* text, const char* what, std::uint32_t low, std::uint32_t high)
{
    const std::string digits = text;
    if (digits.empty() || digits.size() > 10 || digits.find_first_not_of("0123456789") != std::string::npos)
        FailUsage(std::string(what) + " must be a whole number, not \"" + digits + "\"");
    const unsigned long long value = std::stoull(digits);
    if (value < low || value > high)
        FailUsage(std::string(what) + " must lie between " + std::to_string(low) + " and " + std::to_string(high));
    return static_cast<std::uint32_t>(value);
}

// "WxH": both even (the video's colour planes halve them), 16 to 7680.
void ParseSize(const char* text, VideoRequest& video)
{
    const std::string size = text;
    const std::size_t x = size.find('x');
    if (x == std::string::npos)
        FailUsage("--size must be WIDTHxHEIGHT, not \"" + size + "\"");
    video.width = static_cast<int>(ParseNumber(size.substr(0, x).c_str(), "--size's width", 16, 7680));
    video.height = static_cast<int>(ParseNumber(size.substr(x + 1).c_str(), "--size's height", 16, 7680));
    if (video.width % 2 != 0 || video.height % 2 != 0)
        FailUsage("--size must be even in both directions, not " + size);
}

Request ParseArguments(int argc, char** argv)
{
    Request request;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            std::fputs(Usage, stdout);
            std::exit(0);
        }
        if (option == "--stretch") {
            request.video.stretch = true;
            request.sized = true;
            continue;
        }
        if (option == "--timings") {
            request.video.timings = true;
            request.videoOnly = true;
            continue;
        }
        if (i + 1 >= argc)
            FailUsage(option.rfind("--", 0) == 0 ? option + " needs a value" : "unknown argument " + option);
        const char* value = argv[++i];
        if (option == "--still")
            request.stills.push_back(ParseNumber(value, "--still", 0, 0xFFFFFFFFu));
        else if (option == "--fps")
            request.fps = static_cast<int>(ParseNumber(value, "--fps", 1, 1000));
        else if (option == "--out-dir")
            request.outDir = value;
        else if (option == "--folder")
            request.folder = value;
        else if (option == "--sheet")
            request.sheetPath = value;
        else if (option == "--video")
            request.video.path = value;
        else if (option == "--size")
            ParseSize(value, request.video);
        else if (option == "--from")
            request.video.fromMs = ParseNumber(value, "--from", 0, 0xFFFFFFFEu);
        else if (option == "--to")
            request.video.toMs = ParseNumber(value, "--to", 1, 0xFFFFFFFFu);
        else
            FailUsage("unknown option " + option);
        if (option == "--from" || option == "--to")
            request.videoOnly = true;
        if (option == "--size")
            request.sized = true;
    }
    request.video.fps = request.fps;
    const int modes = !request.stills.empty() + !request.sheetPath.empty() + !request.video.path.empty();
    if (modes != 1)
        FailUsage(request.video.path.empty() && !request.videoOnly ? "give either --still MS or --sheet FILE.png"
                                                                   : "give one of --still MS, --sheet FILE.png or --video FILE.mp4");
    if (request.videoOnly && request.video.path.empty())
        FailUsage("--from, --to and --timings go with --video");
    if (request.sized && !request.sheetPath.empty())
        FailUsage("--size and --stretch go with --still or --video; a sheet is of 800x600 frames");
    if (request.video.fromMs >= request.video.toMs)
        FailUsage("--from must come before --to");
    if (request.sheetPath.empty() && request.stills.empty() && request.outDir != ".")
        FailUsage("--out-dir goes with --still; --video names its file");
    if (!request.sheetPath.empty() && request.outDir != ".")
        FailUsage("--out-dir goes with --still; --sheet names its file");
    return request;
}

// Fails before any rendering when the output cannot be written.
void CheckWritable(const Request& request)
{
    if (!request.video.path.empty())
        return;  // the encoder checks it: it writes a file beside the video first
    if (!request.sheetPath.empty()) {
        const bool existed = access(request.sheetPath.c_str(), F_OK) == 0;
        std::FILE* file = std::fopen(request.sheetPath.c_str(), "ab");
        if (file == nullptr)
            Fail(1, "cannot write " + request.sheetPath + ": " + std::strerror(errno));
        std::fclose(file);
        if (!existed)
            std::remove(request.sheetPath.c_str());
        return;
    }
    std::string probe = request.outDir + "/.orvane-capture-XXXXXX";
    const int fd = mkstemp(probe.data());
    if (fd < 0)
        Fail(1, "cannot write into " + request.outDir + ": " + std::strerror(errno));
    close(fd);
    std::remove(probe.c_str());
}

// The outputs named relative to where the tool started stay there once it
// has moved into the show's folder.
void ResolveOutputs(Request& request)
{
    for (std::string* path : {&request.outDir, &request.sheetPath, &request.video.path}) {
        if (path->empty())
            continue;
        std::filesystem::path absolute = std::filesystem::absolute(*path).lexically_normal();
        if (!absolute.has_filename())  // "." and "dir/" end in a separator
            absolute = absolute.parent_path();
        *path = absolute.string();
    }
}

void CheckInsideShow(const std::vector<std::uint32_t>& moments)
{
    const std::uint32_t length = OfflineShowLength();
    for (const std::uint32_t ms : moments)
        if (ms >= length)
            Fail(2, std::to_string(ms) + " ms is not inside the show, which ends at " + std::to_string(length) + " ms");
}

void Save(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgb)
{
    std::string error;
    if (!WritePng(path, width, height, rgb, error))
        Fail(1, error);
    std::printf("orvane-capture: wrote %s\n", path.c_str());
}

void WriteStills(const Request& request, int width, int height)
{
    std::vector<std::uint32_t> moments = request.stills;
    std::sort(moments.begin(), moments.end());
    moments.erase(std::unique(moments.begin(), moments.end()), moments.end());
    CheckInsideShow(moments);
    std::vector<std::uint8_t> rgb;
    for (const std::uint32_t ms : moments) {
        DrawShowFrameAt(ms);
        ReadFullFrame(rgb);
        Save(request.outDir + "/still-" + std::to_string(ms) + ".png", width, height, rgb);
    }
}

void WriteSheet(const Request& request)
{
    // A short soundtrack ends the show early: the sheet shows what there is.
    std::vector<std::uint32_t> moments;
    for (const std::uint32_t ms : ContactSheetMoments())
        if (ms < OfflineShowLength())
            moments.push_back(ms);
    if (moments.empty())
        Fail(2, "the show is too short for a contact sheet");
    SheetPicture sheet;
    StartContactSheet(sheet, static_cast<int>(moments.size()), SheetColumns);
    std::vector<std::uint8_t> rgb;
    for (std::size_t i = 0; i < moments.size(); ++i) {
        DrawShowFrameAt(moments[i]);
        ReadFullFrame(rgb);
        AddToContactSheet(sheet, static_cast<int>(i), SheetColumns, rgb, moments[i]);
    }
    Save(request.sheetPath, sheet.width, sheet.height, sheet.rgb);
}
}  // namespace

int main(int argc, char** argv)
{
    Request request = ParseArguments(argc, argv);
    CheckWritable(request);
    ResolveOutputs(request);
    std::string problem;
    if (!EnterShowFolder(request.folder, problem))
        Fail(2, problem);

    const bool video = !request.video.path.empty();
    const bool sheet = !request.sheetPath.empty();
    const int width = sheet ? FrameWidth : request.video.width;
    const int height = sheet ? FrameHeight : request.video.height;

    std::string error;
    if (!OpenCaptureGl(error))
        Fail(1, error);
    if (!CreateFrameTargets(width, height))
        Fail(1, "this OpenGL has no framebuffer objects of " + std::to_string(width) + " by " + std::to_string(height));
    InitScene();  // a missing picture ends here with the show's own report
    std::fflush(stdout);
    StartShowRun(request.fps, PictureAreaFor(width, height, request.video.stretch));

    if (video)
        return CaptureVideo(request.video);
    if (sheet)
        WriteSheet(request);
    else
        WriteStills(request, width, height);
    return 0;
}
