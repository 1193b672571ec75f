#include "tools/capture/progress.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace {
constexpr int BarWidth = 30;
constexpr double RedrawSeconds = 0.25;

std::chrono::steady_clock::time_point Start;
double LastDrawn = -1;
std::uint64_t Total = 0;
int Fps = 60;
bool OnTerminal = false;

double Elapsed() { return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count(); }

std::string Clock(double seconds)
{
    const long whole = static_cast<long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}
}  // namespace

void StartProgress(std::uint64_t total, int fps)
{
    Start = std::chrono::steady_clock::now();
    LastDrawn = -1;
    Total = total;
    Fps = fps;
    OnTerminal = isatty(STDERR_FILENO) != 0;
}

void ShowProgress(std::uint64_t done)
{
    const double elapsed = Elapsed();
    if (!OnTerminal || (LastDrawn >= 0 && elapsed - LastDrawn < RedrawSeconds && done < Total))
        return;
    LastDrawn = elapsed;
    const double rate = elapsed > 0 ? done / elapsed : 0;
    const int filled = Total > 0 ? static_cast<int>(BarWidth * done / Total) : BarWidth;
    const std::string bar = std::string(filled, '#') + std::string(BarWidth - filled, '.');
    const std::string left = rate > 0 ? Clock((Total - done) / rate) : "?";
    std::fprintf(stderr, "\r[%s] %llu/%llu frames  %.0f fps  %.2fx real time  %s left \033[K", bar.c_str(),
                 static_cast<unsigned long long>(done), static_cast<unsigned long long>(Total), rate, rate / Fps,
                 left.c_str());
    std::fflush(stderr);
}

double EndProgress(const std::string& what, std::uint64_t done)
{
    const double elapsed = Elapsed();
    const double rate = elapsed > 0 ? done / elapsed : 0;
    std::fprintf(stderr, "%sorvane-capture: %s: %llu frames (%s of video) in %.1f s, %.0f fps, %.2fx real time\n",
                 OnTerminal ? "\r\033[K" : "", what.c_str(), static_cast<unsigned long long>(done),
                 Clock(static_cast<double>(done) / Fps).c_str(), elapsed, rate, rate / Fps);
    return elapsed;
}
