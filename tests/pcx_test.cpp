#include "assets/pcx.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {
namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t Pixels = PcxImageBytes / 4;

// An image buffer with guard bytes after it, pre-filled so that any texel
// the decoder forgets to write shows up.
struct Image {
    static constexpr std::size_t Guard = 64;
    Bytes bytes = Bytes(PcxImageBytes + Guard, 0xA5);
    std::uint8_t* data() { return bytes.data(); }
    int Grey(std::size_t k) const { return bytes[4 * k]; }
};

Image Decoded(const Bytes& pixels)
{
    Image image;
    DecodePcx(pixels.data(), pixels.size(), image.data());
    return image;
}

// Every texel is (v, v, v, 255) and nothing past the end was touched.
void ExpectWellFormed(const Image& image)
{
    for (std::size_t k = 0; k < Pixels; ++k) {
        const std::uint8_t* t = &image.bytes[4 * k];
        ASSERT_TRUE(t[0] == t[1] && t[1] == t[2] && t[3] == 255) << "texel " << k;
    }
    for (std::size_t i = PcxImageBytes; i < image.bytes.size(); ++i)
        ASSERT_EQ(0xA5, image.bytes[i]) << "wrote past the image at " << i;
}

// Grey levels of pixels [first, first + count).
std::vector<int> Greys(const Image& image, std::size_t first, std::size_t count)
{
    std::vector<int> greys;
    for (std::size_t k = first; k < first + count; ++k)
        greys.push_back(image.Grey(k));
    return greys;
}

Bytes Repeat(std::size_t count, std::uint8_t value) { return Bytes(count, value); }

// `count` runs of 63 pixels of value v.
Bytes RunsOf63(std::size_t count, std::uint8_t v)
{
    Bytes runs;
    for (std::size_t i = 0; i < count; ++i)
        runs.insert(runs.end(), {0xFF, v});
    return runs;
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The way a PCX writer encodes 8-bit lines: runs of up to 63 within a line,
// values of 192 and above always as runs.
Bytes EncodeRle(const Bytes& picture, std::size_t width)
{
    Bytes out;
    for (std::size_t line = 0; line < picture.size(); line += width) {
        for (std::size_t x = 0; x < width;) {
            const std::uint8_t v = picture[line + x];
            std::size_t run = 1;
            while (x + run < width && run < 63 && picture[line + x + run] == v)
                ++run;
            if (run > 1 || v >= 0xC0)
                out.push_back(static_cast<std::uint8_t>(0xC0 | run));
            out.push_back(v);
            x += run;
        }
    }
    return out;
}

Bytes PcxHeader(std::uint8_t fill)
{
    Bytes header(128, fill);
    header[0] = 0x0A;  // manufacturer, version 5, RLE, 8 bits
    header[1] = 5;
    header[2] = 1;
    header[3] = 8;
    return header;
}

// A 512x512 picture with gradients, flat areas and values above 191.
Bytes TestPicture()
{
    Bytes picture(Pixels);
    for (std::size_t y = 0; y < 512; ++y)
        for (std::size_t x = 0; x < 512; ++x)
            picture[y * 512 + x] = static_cast<std::uint8_t>(
                y < 128 ? x / 2 : y < 256 ? (x / 40) * 23 : (x * 7 + y * 3) % 256);
    return picture;
}

class PcxFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = ::testing::TempDir() + "orvane_pcx_XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern.data()));
        folder = pattern;
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::permissions(folder, fs::perms::owner_all, ignored);
        fs::remove_all(folder, ignored);
    }
    std::string Write(const std::string& name, const Bytes& contents)
    {
        const std::string path = (folder / name).string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(contents.data()),
                   static_cast<std::streamsize>(contents.size()));
        return path;
    }
    Image Loaded(const std::string& path)
    {
        Image image;
        LoadPcx(path.c_str(), image.data());
        return image;
    }
    fs::path folder;
};

// Runs body in a child process; gives its exit code and standard output.
struct ChildResult {
    int exitCode;
    std::string output;
};

ChildResult RunInChild(const std::function<void()>& body)
{
    int fds[2];
    if (pipe(fds) != 0)
        return {-1, ""};
    std::fflush(stdout);  // or the child would repeat what is still buffered
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        dup2(fds[1], STDOUT_FILENO);
        body();
        std::fflush(stdout);
        _exit(0);
    }
    close(fds[1]);
    std::string output;
    char chunk[4096];
    for (ssize_t got; (got = read(fds[0], chunk, sizeof chunk)) > 0;)
        output.append(chunk, static_cast<std::size_t>(got));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

std::uint32_t ModuleOffset(void* address)
{
    Dl_info info{};
    dladdr(address, &info);
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(address) -
                                      reinterpret_cast<std::uintptr_t>(info.dli_fbase));
}

const std::regex ReportPattern(
    "Runtime error ([0-9]+) at 0x([0-9A-F]{8})\n(0x[0-9A-F]{8}\n)+\n");

TEST(PcxDecode, LiteralBytesBecomeGreyTexelsInOrder)
{
    Bytes pixels(Pixels);
    for (std::size_t k = 0; k < Pixels; ++k)
        pixels[k] = static_cast<std::uint8_t>((k * 31 + k / 512) % 192);
    const Image image = Decoded(pixels);
    ExpectWellFormed(image);
    for (std::size_t k = 0; k < Pixels; ++k)
        ASSERT_EQ(pixels[k], image.Grey(k)) << k;
}

TEST(PcxDecode, RunBytesRepeatTheFollowingValue)
{
    const Image image = Decoded({0xC1, 0xFF, 0xFF, 0x80, 0x07, 0xC2, 0xC0});
    ExpectWellFormed(image);
    EXPECT_EQ(255, image.Grey(0));
    EXPECT_EQ(std::vector<int>(63, 128), Greys(image, 1, 63));
    EXPECT_EQ(7, image.Grey(64));
    EXPECT_EQ((std::vector<int>{192, 192, 0}), Greys(image, 65, 3));
}

TEST(PcxDecode, RunCountZeroGivesNoPixelAndSkipsItsValue)
{
    const Image image = Decoded({0xC0, 0x50, 0x07, 0xC0, 0xC0, 0x09});
    ExpectWellFormed(image);
    EXPECT_EQ((std::vector<int>{7, 9, 0}), Greys(image, 0, 3));
}

TEST(PcxDecode, RunContinuesAcrossTheEndOfALine)
{
    const Image image = Decoded(Concat({Repeat(510, 3), {0xC5, 0x99, 0x04}}));
    ExpectWellFormed(image);
    EXPECT_EQ((std::vector<int>{3, 0x99, 0x99}), Greys(image, 509, 3));
    EXPECT_EQ((std::vector<int>{0x99, 0x99, 0x99, 0x04, 0}), Greys(image, 512, 5));
}

TEST(PcxDecode, RunPastTheEndOfTheImageIsCut)
{
    const Image image = Decoded(Concat({Repeat(Pixels - 4, 1), {0xFF, 0x77}, Repeat(100, 0xFF)}));
    ExpectWellFormed(image);
    EXPECT_EQ((std::vector<int>{1, 0x77, 0x77, 0x77, 0x77}), Greys(image, Pixels - 5, 5));

    const Image runsOnly = Decoded(Repeat(20000, 0xFF));  // every byte a run of 63 of 255
    ExpectWellFormed(runsOnly);
    EXPECT_EQ(255, runsOnly.Grey(Pixels - 1));
}

TEST(PcxDecode, ShortInputLeavesTheRestBlack)
{
    const Image image = Decoded({0x10, 0xC2, 0x20, 0xC5});  // ends on a count byte
    ExpectWellFormed(image);
    EXPECT_EQ((std::vector<int>{0x10, 0x20, 0x20, 0, 0}), Greys(image, 0, 5));
    for (std::size_t k = 3; k < Pixels; ++k)
        ASSERT_EQ(0, image.Grey(k)) << k;

    const Image empty = Decoded({});
    ExpectWellFormed(empty);
    EXPECT_EQ(std::vector<int>(512, 0), Greys(empty, Pixels - 512, 512));
}

TEST(PcxDecode, BytesAfterTheLastPixelChangeNothing)
{
    const Bytes data = EncodeRle(TestPicture(), 512);
    Bytes palette(1 + 768, 0xEE);
    palette[0] = 0x0C;
    const Image plain = Decoded(data);
    const Image withPalette = Decoded(Concat({data, palette}));
    ExpectWellFormed(withPalette);
    EXPECT_TRUE(plain.bytes == withPalette.bytes);
}

TEST_F(PcxFileTest, LoadsAnEncodedPictureWithItsPalette)
{
    const Bytes picture = TestPicture();
    Bytes palette(1 + 768);
    palette[0] = 0x0C;
    for (std::size_t i = 1; i < palette.size(); ++i)
        palette[i] = static_cast<std::uint8_t>((i - 1) / 3);
    const std::string path =
        Write("picture.pcx", Concat({PcxHeader(0), EncodeRle(picture, 512), palette}));

    const Image image = Loaded(path);
    ExpectWellFormed(image);
    for (std::size_t k = 0; k < Pixels; ++k)
        ASSERT_EQ(picture[k], image.Grey(k)) << "pixel " << k % 512 << "," << k / 512;
}

TEST_F(PcxFileTest, HeaderIsNotLookedAt)
{
    const Bytes data = EncodeRle(TestPicture(), 512);
    const Image a = Loaded(Write("a.pcx", Concat({PcxHeader(0x00), data})));
    const Image b = Loaded(Write("b.pcx", Concat({Bytes(128, 0xFF), data})));
    EXPECT_TRUE(a.bytes == b.bytes);
    EXPECT_TRUE(a.bytes == Decoded(data).bytes);
}

TEST_F(PcxFileTest, RunSplitAcrossBlocksIsOneRun)
{
    // The count byte is the last of the first 512-byte block, its value the
    // first of the next.
    const Bytes data = Concat({Repeat(511, 10), {0xC3, 0x42}, Repeat(600, 20)});
    const Image image = Loaded(Write("split.pcx", Concat({PcxHeader(0), data})));
    ExpectWellFormed(image);
    EXPECT_EQ((std::vector<int>{10, 0x42, 0x42, 0x42, 20}), Greys(image, 510, 5));
    EXPECT_EQ(0, image.Grey(511 + 3 + 600));
}

TEST_F(PcxFileTest, FileDecodesLikeItsPixelBytesAtEveryBlockBoundary)
{
    // Runs of 1 to 63 with a literal now and then put count and value bytes
    // on every position relative to the block ends.
    Bytes data;
    for (std::size_t i = 0; data.size() < 40000; ++i) {
        if (i % 5 == 0)
            data.push_back(static_cast<std::uint8_t>(i % 191));
        data.push_back(static_cast<std::uint8_t>(0xC0 | (1 + i % 63)));
        data.push_back(static_cast<std::uint8_t>(i * 13));
    }
    const Image fromFile = Loaded(Write("runs.pcx", Concat({PcxHeader(0), data})));
    ExpectWellFormed(fromFile);
    EXPECT_TRUE(fromFile.bytes == Decoded(data).bytes);
}

TEST_F(PcxFileTest, ShortFileGivesBlackForTheMissingPixels)
{
    // The last read fills 100 bytes of the block; what the earlier block left
    // in the other 412 must not show.
    const Bytes data = Concat({Repeat(512, 0x55), Repeat(100, 0x33)});
    const Image image = Loaded(Write("short.pcx", Concat({PcxHeader(0), data})));
    ExpectWellFormed(image);
    EXPECT_EQ((std::vector<int>{0x55, 0x33}), Greys(image, 511, 2));
    EXPECT_EQ((std::vector<int>{0x33, 0}), Greys(image, 611, 2));
    for (std::size_t k = 612; k < Pixels; ++k)
        ASSERT_EQ(0, image.Grey(k)) << k;

    const Image headerOnly = Loaded(Write("stub.pcx", Bytes(40, 0xC7)));
    ExpectWellFormed(headerOnly);
    EXPECT_EQ(std::vector<int>(512, 0), Greys(headerOnly, 0, 512));
}

TEST_F(PcxFileTest, ReadOnlyFileLoads)
{
    const Bytes data = EncodeRle(TestPicture(), 512);
    const std::string path = Write("locked.pcx", Concat({PcxHeader(0), data}));
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_TRUE(Loaded(path).bytes == Decoded(data).bytes);
}

TEST_F(PcxFileTest, MissingFileEndsTheProgramWithTheReport)
{
    const std::string path = (folder / "absent.pcx").string();
    const ChildResult child = RunInChild([&] {
        Image image;
        LoadPcx(path.c_str(), image.data());
        std::printf("returned\n");
    });
    EXPECT_EQ(2, child.exitCode);
    std::smatch match;
    ASSERT_TRUE(std::regex_match(child.output, match, ReportPattern)) << child.output;
    EXPECT_EQ("2", match[1].str());
    // The address is that of the failed check, inside LoadPcx.
    const std::uint32_t address = static_cast<std::uint32_t>(std::stoul(match[2].str(), nullptr, 16));
    const std::uint32_t loadPcx = ModuleOffset(reinterpret_cast<void*>(&LoadPcx));
    EXPECT_GT(address, loadPcx);
    EXPECT_LT(address, loadPcx + 0x1000) << std::hex << "LoadPcx at " << loadPcx;
}

TEST_F(PcxFileTest, FailedReadEndsTheProgramWithItsErrorNumber)
{
    // A folder opens and seeks, but reading it fails with EISDIR.
    const std::string path = folder.string();
    const ChildResult child = RunInChild([&] {
        Image image;
        LoadPcx(path.c_str(), image.data());
    });
    EXPECT_EQ(EISDIR, child.exitCode);
    std::smatch match;
    ASSERT_TRUE(std::regex_match(child.output, match, ReportPattern)) << child.output;
    EXPECT_EQ(std::to_string(EISDIR), match[1].str());
}

// With ORVANE_FUZZ_SEEDS naming a folder, writes the seed inputs of the
// decoder's fuzzer (tests/run_fuzz.sh) there.
TEST(PcxDecode, WritesFuzzSeeds)
{
    const char* folder = std::getenv("ORVANE_FUZZ_SEEDS");
    if (folder == nullptr)
        GTEST_SKIP() << "ORVANE_FUZZ_SEEDS not set";
    fs::create_directories(folder);
    const std::vector<std::pair<std::string, Bytes>> seeds = {
        {"literals", {0x00, 0x10, 0x7F, 0xBF}},
        {"runs", {0xC1, 0xFF, 0xFF, 0x80, 0xC3, 0x05}},
        {"count-zero", {0xC0, 0x50, 0xC0, 0xC0, 0x01}},
        {"block-end", Concat({Repeat(511, 9), {0xC3, 0x42}, Repeat(40, 0xC2)})},
        {"line-end", Concat({Repeat(510, 3), {0xC5, 0x99}})},
        {"over-long", Concat({Repeat(Pixels - 2, 1), {0xFF, 0x77, 0x12}})},
        // The image's end reached by runs alone (63 pixels for two bytes), so
        // that short inputs cross it too: 4161 full runs, then one of two.
        {"runs-past-end", Concat({RunsOf63(4161, 0x21), {0xC2, 0x44}})},
        {"short", {0xC5}},
        {"picture", Concat({EncodeRle(TestPicture(), 512), {0x0C}, Repeat(768, 0xAB)})},
    };
    for (const auto& [name, bytes] : seeds)
        std::ofstream(fs::path(folder) / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
}

}  // namespace
