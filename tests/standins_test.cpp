// The stand-in inputs: the module as libopenmpt plays it, the pictures as the
// show and ordinary image programs read them, and the tool that writes both.

#include "assets/pcx.h"
#include "assets/scene.h"
#include "effects/closing_scene.h"
#include "effects/orbiting_square.h"
#include "effects/picture_zooms.h"
#include "effects/ring_pulses.h"
#include "effects/square_pulses.h"
#include "effects/square_stamps.h"
#include "effects/vertical_bands.h"
#include "tools/make_standins/module_writer.h"
#include "tools/make_standins/pcx_writer.h"
#include "tools/make_standins/pictures.h"
#include "tools/make_standins/soundtrack.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.hpp>
#include <libopenmpt/libopenmpt_ext.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr int Rate = 48000;

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

int Word(const Bytes& b, std::size_t at) { return b[at] << 8 | b[at + 1]; }    // big-endian, as in modules
int Short(const Bytes& b, std::size_t at) { return b[at] | b[at + 1] << 8; }  // little-endian, as in PCX

std::string RunTool(const fs::path& dir) {
    const std::string command = std::string(MAKE_STANDINS) + " '" + dir.string() + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[256];
    while (pipe && fgets(buffer, sizeof buffer, pipe))
        out += buffer;
    EXPECT_EQ(pipe ? pclose(pipe) : -1, 0) << out;
    return out;
}

fs::path FreshDir(const std::string& name) {
    const fs::path dir = fs::temp_directory_path() / ("orvane-standins-" + name + "-" + std::to_string(getpid()));
    fs::remove_all(dir);
    return dir;
}

// ---------------------------------------------------------------------------
// Module writer

TEST(ModuleWriter, HeaderOrdersPatternsAndSamplesSitWhereTrackersLookForThem) {
    ModSong song;
    song.title = "a title longer than twenty characters";
    ModSample looped;
    looped.name = "looped";
    looped.data.assign(300, 10);
    looped.volume = 48;
    looped.loopStart = 100;
    looped.loopLength = 200;
    ModSample once;
    once.name = "once";
    once.data.assign(7, -3);  // odd: the writer stores whole words only
    song.samples = {looped, once};
    song.patterns.resize(3);
    song.patterns[2][5 * ModChannels + 3] = ModCell{17, NotePeriod(12), 0xC, 0x20};
    song.order = {2, 0, 2};

    const Bytes b = WriteModule(song);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 20), "a title longer than ");
    EXPECT_EQ(Word(b, 20 + 22), 150);  // length in words
    EXPECT_EQ(b[20 + 25], 48);
    EXPECT_EQ(Word(b, 20 + 26), 50);   // loop start, words
    EXPECT_EQ(Word(b, 20 + 28), 100);  // loop length, words
    EXPECT_EQ(Word(b, 50 + 22), 3);
    EXPECT_EQ(Word(b, 50 + 28), 1);    // plays once
    EXPECT_EQ(Word(b, 20 + 30 * 30 + 22), 0);
    EXPECT_EQ(b[950], 3);
    EXPECT_EQ(b[951], 127);
    EXPECT_EQ(Bytes(b.begin() + 952, b.begin() + 956), (Bytes{2, 0, 2, 0}));
    EXPECT_EQ(std::string(b.begin() + 1080, b.begin() + 1084), "M.K.");
    const std::size_t cell = 1084 + 2 * 1024 + (5 * ModChannels + 3) * 4;
    EXPECT_EQ(Bytes(b.begin() + cell, b.begin() + cell + 4), (Bytes{0x11, 0xAC, 0x1C, 0x20}));  // period 428
    ASSERT_EQ(b.size(), 1084 + 3 * 1024 + 300 + 6u);
    EXPECT_EQ(static_cast<std::int8_t>(b.back()), -3);
}

TEST(ModuleWriter, LibopenmptReadsBackWhatWasWritten) {
    ModSong song;
    ModSample tone;
    tone.data.assign(64, 0);
    for (std::size_t i = 0; i < tone.data.size(); ++i)
        tone.data[i] = static_cast<std::int8_t>(i < 32 ? 100 : -100);
    tone.loopLength = 64;
    song.samples = {tone};
    song.patterns.resize(1);
    song.patterns[0][7 * ModChannels + 2] = ModCell{1, NotePeriod(24), 0, 0};
    song.order = {0, 0};
    const Bytes b = WriteModule(song);
    openmpt::module mod(b);
    EXPECT_EQ(mod.get_metadata("type"), "mod");
    EXPECT_EQ(mod.get_num_channels(), 4);
    EXPECT_EQ(mod.get_num_orders(), 2);
    EXPECT_NEAR(mod.get_duration_seconds(), 2 * 64 * 0.12, 1e-6);
    EXPECT_EQ(mod.get_pattern_row_channel_command(0, 7, 2, openmpt::module::command_instrument), 1);
    EXPECT_NE(mod.get_pattern_row_channel_command(0, 7, 2, openmpt::module::command_note), 0);
    EXPECT_EQ(mod.get_pattern_row_channel_command(0, 7, 1, openmpt::module::command_note), 0);
}

// ---------------------------------------------------------------------------
// The soundtrack as played

// The whole song, with only the channels in `solo` heard (all when empty).
std::vector<float> Render(const Bytes& file, std::vector<int> solo = {}) {
    openmpt::module_ext mod(file);
    auto* interactive = static_cast<openmpt::ext::interactive*>(mod.get_interface(openmpt::ext::interactive_id));
    for (int ch = 0; ch < 4 && !solo.empty(); ++ch)
        interactive->set_channel_mute_status(ch, std::find(solo.begin(), solo.end(), ch) == solo.end());
    std::vector<float> out;
    std::vector<float> block(4096);
    while (std::size_t n = mod.read(Rate, block.size(), block.data()))
        out.insert(out.end(), block.begin(), block.begin() + n);
    return out;
}

double Rms(const std::vector<float>& s, double from, double to) {
    const std::size_t a = static_cast<std::size_t>(std::max(0.0, from) * Rate);
    const std::size_t b = std::min(s.size(), static_cast<std::size_t>(to * Rate));
    double sum = 0;
    for (std::size_t i = a; i < b; ++i)
        sum += s[i] * s[i];
    return b > a ? std::sqrt(sum / (b - a)) : 0;
}

class Soundtrack : public ::testing::Test {
protected:
    static void SetUpTestSuite() { File = new Bytes(WriteModule(MakeSoundtrack())); }
    static void TearDownTestSuite() { delete File; }
    static Bytes* File;
};
Bytes* Soundtrack::File = nullptr;

TEST_F(Soundtrack, IsAFourChannelProTrackerModuleThatEndsWithTheShow) {
    openmpt::module mod(*File);
    EXPECT_EQ(mod.get_metadata("type"), "mod");
    EXPECT_NE(mod.get_metadata("type_long").find("M.K."), std::string::npos);
    EXPECT_EQ(mod.get_num_channels(), 4);
    EXPECT_EQ(mod.get_num_orders(), SoundtrackPatterns);
    for (int order = 0; order < SoundtrackPatterns; ++order)
        EXPECT_EQ(mod.get_order_pattern(order), order);
    EXPECT_NEAR(mod.get_duration_seconds(), 207.36, 0.12);
    EXPECT_EQ(std::string(File->begin() + 1080, File->begin() + 1084), "M.K.");
    EXPECT_EQ(mod.get_current_speed(), 6);
    EXPECT_EQ(mod.get_current_tempo(), 125);
}

TEST_F(Soundtrack, UsesSynthesizedDrumsBassAndMelodyWithLoopsWhereVoicesSustain) {
    const ModSong song = MakeSoundtrack();
    const auto find = [&](const std::string& name) {
        for (const ModSample& s : song.samples)
            if (s.name == name)
                return &s;
        return static_cast<const ModSample*>(nullptr);
    };
    for (const char* name : {"kick", "snare", "clap", "closed hat", "crash", "bass", "stab", "pad", "lead"}) {
        const ModSample* s = find(name);
        ASSERT_NE(s, nullptr) << name;
        EXPECT_GT(s->data.size(), 100u) << name;
        EXPECT_LE(s->data.size(), ModMaxSampleBytes) << name;
    }
    for (const char* name : {"bass", "pad", "lead"}) {
        const ModSample* s = find(name);
        EXPECT_GT(s->loopLength, 0u) << name;
        EXPECT_EQ(s->loopStart + s->loopLength, s->data.size()) << name;
    }
    EXPECT_EQ(find("kick")->loopLength, 0u);
}

// Every time at which an effect starts to draw something, from the effects'
// own tables: what the music must mark.
std::vector<std::uint32_t> EffectCues() {
    std::vector<std::uint32_t> cues(SquarePulseCues.begin(), SquarePulseCues.end());
    cues.insert(cues.end(), RingPulseCues.begin(), RingPulseCues.end());
    cues.insert(cues.end(), SquareStampCues.begin(), SquareStampCues.end());
    cues.insert(cues.end(), PictureZoomCues.begin(), PictureZoomCues.end());
    for (const BandWindow& band : VerticalBandCues)
        cues.push_back(band.start);
    for (const OrbitWindow& window : OrbitingSquareWindows)
        cues.push_back(window.start);
    cues.push_back(ClosingSceneStart);
    std::sort(cues.begin(), cues.end());
    return cues;
}

TEST_F(Soundtrack, HitsTheEffectsOwnCues) {
    std::vector<std::uint32_t> hit;
    for (const SoundtrackHit& h : SoundtrackHits())
        hit.push_back(h.ms);
    EXPECT_EQ(hit, EffectCues());
}

TEST_F(Soundtrack, EveryCueOfTheShowFallsOnAnAudibleHitWithinARow) {
    const std::vector<SoundtrackHit> hits = SoundtrackHits();
    ASSERT_EQ(hits.size(), 22u + 41 + 2 + 116 + 16 + 5 + 1);
    EXPECT_TRUE(std::is_sorted(hits.begin(), hits.end(),
                               [](const SoundtrackHit& a, const SoundtrackHit& b) { return a.ms < b.ms; }));
    EXPECT_EQ(hits.front().ms, 240u);
    EXPECT_EQ(hits.back().ms, 199240u);

    openmpt::module mod(*File);
    std::vector<float> solo[4];
    for (int ch = 0; ch < 4; ++ch)
        solo[ch] = Render(*File, {ch});
    for (const SoundtrackHit& hit : hits) {
        const double at = hit.row * 0.12;
        EXPECT_LT(std::fabs(hit.row * 120.0 - hit.ms), 120.0) << hit.ms;
        // Some channel starts a note on that row, and its sound jumps there,
        // louder than the hats' ticking that runs through the grooves.
        bool heard = false;
        for (int ch = 0; ch < 4; ++ch) {
            const int pattern = mod.get_order_pattern(hit.row / 64);
            if (!mod.get_pattern_row_channel_command(pattern, hit.row % 64, ch, openmpt::module::command_note))
                continue;
            const double before = Rms(solo[ch], at - 0.04, at), after = Rms(solo[ch], at + 0.002, at + 0.042);
            heard = heard || (after > 0.04 && after > 1.5 * before);
        }
        EXPECT_TRUE(heard) << "cue at " << hit.ms << " ms, row " << hit.row;
    }
}

// The mix gets louder on every cue, however dense the passage: the first
// 10 ms of the hit's row carry at least three times the mean power of the
// 100 ms before. The row is where the hit sounds; the cue may lie up to a
// row before it.
TEST_F(Soundtrack, EveryCueIsAnAccent) {
    const std::vector<float> all = Render(*File);
    for (const SoundtrackHit& hit : SoundtrackHits()) {
        const double at = hit.row * 0.12;
        const double before = Rms(all, at - 0.1, at), after = Rms(all, at, at + 0.01);
        EXPECT_GT(after, 0.05) << "cue at " << hit.ms << " ms";
        EXPECT_GE(after * after, 3 * before * before)
            << "cue at " << hit.ms << " ms, row " << hit.row << ": power ratio " << after * after / (before * before);
    }
}

TEST_F(Soundtrack, NeverClipsAndFollowsTheShowsQuietStretches) {
    const std::vector<float> all = Render(*File);
    float peak = 0;
    for (float v : all)
        peak = std::max(peak, std::fabs(v));
    EXPECT_LT(peak, 0.9f);
    EXPECT_GT(peak, 0.3f);

    // The ring sections are the loudest part, the stretch without cues before
    // the picture zooms is a quiet one, and the song fades out at its end.
    const double rings = Rms(all, 121, 140);
    EXPECT_LT(Rms(all, 158.6, 172.4), rings / 2);
    EXPECT_LT(Rms(all, 42.5, 49.5), rings / 1.4);
    EXPECT_LT(Rms(all, 206.9, 207.36), rings / 30);
    // The stop before the first drop is a gap, not a groove.
    EXPECT_LT(Rms(all, 69.2, 69.8), rings / 2);
}

// ---------------------------------------------------------------------------
// Pictures

// An independent reader that goes by the header: per-line decoding and the
// palette at the end, as ordinary image programs do.
std::vector<std::uint8_t> ReadPcxByTheBook(const Bytes& file, int& width, int& height) {
    width = Short(file, 8) - Short(file, 4) + 1;
    height = Short(file, 10) - Short(file, 6) + 1;
    const int bytesPerLine = Short(file, 66);
    const std::size_t paletteAt = file.size() - 768;
    std::vector<std::uint8_t> grey;
    std::size_t at = 128;
    for (int y = 0; y < height; ++y) {
        std::vector<std::uint8_t> line;
        while (static_cast<int>(line.size()) < bytesPerLine && at < paletteAt - 1) {
            const std::uint8_t b = file[at++];
            const int count = b >= 0xC0 ? b & 0x3F : 1;
            const std::uint8_t index = b >= 0xC0 ? file[at++] : b;
            line.insert(line.end(), count, index);
        }
        EXPECT_EQ(static_cast<int>(line.size()), bytesPerLine) << "a run crosses a line end";
        for (int x = 0; x < width; ++x)
            grey.push_back(file[paletteAt + 3 * line[x]]);  // red of the palette entry; all three are equal
    }
    return grey;
}

std::vector<std::string> PictureNames() {
    std::vector<std::string> names;
    for (const PictureTexture& picture : PictureTextures)
        names.push_back(picture.fileName);
    return names;
}

TEST(Pictures, AreFullSize8BitRunLengthPcxFilesWithAGreyPalette) {
    for (const std::string& name : PictureNames()) {
        SCOPED_TRACE(name);
        const Bytes file = WritePcx(DrawPicture(name), PictureSide, PictureSide);
        EXPECT_EQ(file[0], 0x0A);
        EXPECT_EQ(file[1], 5);
        EXPECT_EQ(file[2], 1);
        EXPECT_EQ(file[3], 8);
        EXPECT_EQ(file[65], 1);
        EXPECT_EQ(Short(file, 66), 512);
        EXPECT_EQ(Short(file, 68), 2);
        EXPECT_EQ(file[file.size() - 769], 0x0C);
        for (int i = 0; i < 256; ++i)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(file[file.size() - 768 + 3 * i + c], i);
        int width = 0, height = 0;
        EXPECT_EQ(ReadPcxByTheBook(file, width, height), DrawPicture(name));
        EXPECT_EQ(width, 512);
        EXPECT_EQ(height, 512);
    }
}

TEST(Pictures, TheShowsReaderSeesTheSameGreyLevels) {
    std::vector<std::uint8_t> image(PcxImageBytes);
    for (const std::string& name : PictureNames()) {
        SCOPED_TRACE(name);
        const std::vector<std::uint8_t> grey = DrawPicture(name);
        const Bytes file = WritePcx(grey, PictureSide, PictureSide);
        DecodePcx(file.data() + 128, file.size() - 128, image.data());
        for (std::size_t k = 0; k < grey.size(); ++k) {
            ASSERT_EQ(image[4 * k], grey[k]) << "pixel " << k;
            ASSERT_EQ(image[4 * k + 1], grey[k]);
            ASSERT_EQ(image[4 * k + 3], 255);
        }
    }
}

TEST(Pictures, ImageMagickShowsTheSameGreyLevels) {
    if (!fs::exists("/usr/bin/convert"))
        GTEST_SKIP() << "no /usr/bin/convert";
    const fs::path dir = FreshDir("magick");
    fs::create_directories(dir);
    for (const std::string& name : PictureNames()) {
        SCOPED_TRACE(name);
        const Bytes file = WritePcx(DrawPicture(name), PictureSide, PictureSide);
        std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), file.size());
        const std::string command = "/usr/bin/convert '" + (dir / name).string() + "' -depth 8 gray:'" +
                                    (dir / (name + ".gray")).string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
        EXPECT_EQ(ReadFile(dir / (name + ".gray")), DrawPicture(name));
    }
    fs::remove_all(dir);
}

// Mean file line of the lit pixels; the first file line is the bottom of
// the drawn quad.
double LitLine(const std::vector<std::uint8_t>& grey) {
    double sum = 0, weight = 0;
    for (std::size_t k = 0; k < grey.size(); ++k) {
        sum += grey[k] * static_cast<double>(k / PictureSide);
        weight += grey[k];
    }
    return sum / weight;
}

TEST(Pictures, AreBrightArtOnBlackStoredBottomLineFirst) {
    for (const std::string& name : PictureNames()) {
        SCOPED_TRACE(name);
        const std::vector<std::uint8_t> grey = DrawPicture(name);
        ASSERT_EQ(grey.size(), 512u * 512);
        const auto lit = std::count_if(grey.begin(), grey.end(), [](std::uint8_t v) { return v > 0; });
        EXPECT_LT(lit, static_cast<long>(grey.size() * 45 / 100));
        EXPECT_GT(lit, static_cast<long>(grey.size() * 3 / 100));
        EXPECT_EQ(*std::max_element(grey.begin(), grey.end()), 255);
        // Anti-aliased: edges carry intermediate levels.
        EXPECT_GT(std::count_if(grey.begin(), grey.end(), [](std::uint8_t v) { return v > 20 && v < 235; }), 1000);
    }
    // In the closing scene the title must show in the upper part of its quad
    // and the soundtrack line in the lower part of the other, clear of it.
    EXPECT_GT(LitLine(DrawPicture("created.pcx")), 300);
    EXPECT_LT(LitLine(DrawPicture("sound.pcx")), 230);
    EXPECT_TRUE(DrawPicture("nothing.pcx").empty());
}

TEST(Pictures, TheFlashedOnesAreDistinct) {
    const std::vector<std::string> flashed = {"resp.pcx", "g0.pcx", "g1.pcx", "g2.pcx", "g3.pcx"};
    for (std::size_t i = 0; i < flashed.size(); ++i)
        for (std::size_t j = i + 1; j < flashed.size(); ++j) {
            const auto a = DrawPicture(flashed[i]), b = DrawPicture(flashed[j]);
            std::size_t differ = 0;
            for (std::size_t k = 0; k < a.size(); ++k)
                differ += (a[k] > 127) != (b[k] > 127);
            EXPECT_GT(differ, a.size() / 20) << flashed[i] << " vs " << flashed[j];
        }
}

// ---------------------------------------------------------------------------
// The tool

TEST(MakeStandins, WritesAllEightFilesTheSameOnEveryRun) {
    const fs::path first = FreshDir("first"), second = FreshDir("second");
    const std::string said = RunTool(first);
    RunTool(second);
    std::vector<std::string> names = PictureNames();
    names.push_back("cud.mod");
    for (const std::string& name : names) {
        EXPECT_NE(said.find(name), std::string::npos) << name;
        const Bytes a = ReadFile(first / name);
        EXPECT_GT(a.size(), 1000u) << name;
        EXPECT_EQ(a, ReadFile(second / name)) << name;
    }
    EXPECT_EQ(ReadFile(first / "cud.mod"), WriteModule(MakeSoundtrack()));
    fs::remove_all(first);
    fs::remove_all(second);
}

TEST(MakeStandins, LeavesFilesThatAreThereAlone) {
    const fs::path dir = FreshDir("keep");
    fs::create_directories(dir);
    std::ofstream(dir / "cud.mod") << "my own music";
    std::ofstream(dir / "g2.pcx") << "my own picture";
    const std::string said = RunTool(dir);
    EXPECT_EQ(said.find("cud.mod"), std::string::npos);
    EXPECT_EQ(said.find("g2.pcx"), std::string::npos);
    EXPECT_NE(said.find("g3.pcx"), std::string::npos);
    const Bytes mine = ReadFile(dir / "cud.mod");
    EXPECT_EQ(std::string(mine.begin(), mine.end()), "my own music");
    EXPECT_TRUE(fs::exists(dir / "resp.pcx"));

    // A second run has nothing left to do and says nothing.
    EXPECT_EQ(RunTool(dir), "");
    const Bytes picture = ReadFile(dir / "g2.pcx");
    EXPECT_EQ(std::string(picture.begin(), picture.end()), "my own picture");
    fs::remove_all(dir);
}

}  // namespace
