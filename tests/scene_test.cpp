#include "assets/scene.h"

#include "platform/gl_api.h"
#include "tests/support/fake_sound.h"
#include "tests/support/gl_recording.h"
#include "tests/support/picture_files.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>

namespace {

// Runs InitScene on the recording GL in a folder holding the test pictures.
class SceneBuild : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetFakeSound();
        InstallRecordingGl();
        folder = WriteTestPictures();
        previous = std::filesystem::current_path();
        std::filesystem::current_path(folder);
        InitScene();
    }
    void TearDown() override
    {
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(folder);
        ResetGraphicsEntryPoints();
    }

    // The vertices recorded between glNewList(list) and its glEndList.
    static std::vector<std::vector<double>> ListVertices(std::uint32_t list, const std::string& vertexCall)
    {
        std::vector<std::vector<double>> vertices;
        bool inside = false;
        for (const GlCall& call : RecordedGlCalls()) {
            if (call.name == "glNewList")
                inside = call.args.at(0) == list;
            else if (call.name == "glEndList")
                inside = false;
            else if (inside && call.name == vertexCall)
                vertices.push_back(call.args);
        }
        return vertices;
    }

    std::string folder;
    std::filesystem::path previous;
};

TEST_F(SceneBuild, UploadsTheSevenPicturesInLoadOrderUnderFixedNames)
{
    std::vector<double> bound;
    for (const GlCall& call : RecordedCallsNamed("glBindTexture"))
        bound.push_back(call.args.at(1));
    EXPECT_EQ(bound, (std::vector<double>{20, 21, 23, 24, 25, 26, 22}));

    const std::vector<GlCall> uploads = RecordedCallsNamed("glTexImage2D");
    ASSERT_EQ(uploads.size(), 7u);
    for (const GlCall& upload : uploads)
        EXPECT_EQ(upload.args, (std::vector<double>{GL_TEXTURE_2D, 0, GL_RGBA, 512, 512, 0, GL_RGBA, GL_UNSIGNED_BYTE}));
    for (const GlCall& parameter : RecordedCallsNamed("glTexParameteri"))
        EXPECT_EQ(parameter.args.at(2), GL_LINEAR);
    EXPECT_EQ(RecordedCallsNamed("glTexParameteri").size(), 14u);
}

TEST_F(SceneBuild, ListsAreConsecutiveAndCompiledNotDrawn)
{
    EXPECT_EQ(SphereList, RingList + 1);
    EXPECT_EQ(SquareList, RingList + 2);
    for (const GlCall& call : RecordedCallsNamed("glNewList"))
        EXPECT_EQ(call.args.at(1), GL_COMPILE);
    EXPECT_TRUE(RecordedCallsNamed("glCallList").empty());
}

TEST_F(SceneBuild, RingIsThirtyQuadsFromTheTopClockwise)
{
    const auto ring = ListVertices(RingList, "glVertex2f");
    ASSERT_EQ(ring.size(), 120u);
    const double expected[4][2] = {{0, 1}, {0.20791169, 0.97814763}, {0.12474702, 0.58688855}, {0, 0.6}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(ring[i][0], expected[i][0], 1e-7);
        EXPECT_NEAR(ring[i][1], expected[i][1], 1e-7);
    }
    EXPECT_NEAR(ring[60][0], 0.0, 1e-6);  // quad 15 begins at the bottom
    EXPECT_NEAR(ring[60][1], -1.0, 1e-6);
    for (int quad = 0; quad < 30; ++quad) {
        const auto& outerStart = ring[quad * 4];
        const auto& outerEnd = ring[quad * 4 + 1];
        const auto& innerEnd = ring[quad * 4 + 2];
        const auto& innerStart = ring[quad * 4 + 3];
        for (int axis = 0; axis < 2; ++axis) {
            EXPECT_NEAR(innerStart[axis], 0.6 * outerStart[axis], 1e-6);
            EXPECT_NEAR(innerEnd[axis], 0.6 * outerEnd[axis], 1e-6);
        }
        // Consecutive quads share their edge, and each outer edge runs clockwise.
        if (quad > 0) {
            EXPECT_EQ(outerStart, ring[quad * 4 - 3]);
        }
        EXPECT_LT(outerStart[0] * outerEnd[1] - outerStart[1] * outerEnd[0], 0.0);
    }
    EXPECT_NEAR(ring[117][0], 0.0, 1e-6);  // closes on the top, computed from 2 pi
    EXPECT_NEAR(ring[117][1], 1.0, 1e-6);
}

TEST_F(SceneBuild, SquareListIsTheTwoByTwoSquare)
{
    EXPECT_EQ(ListVertices(SquareList, "glVertex2f"),
              (std::vector<std::vector<double>>{{-1, -1}, {1, -1}, {1, 1}, {-1, 1}}));
}

TEST_F(SceneBuild, SphereListHoldsTheSphere)
{
    EXPECT_EQ(ListVertices(SphereList, "glVertex3fv").size(), 384u);
}

TEST_F(SceneBuild, SetsTheLastingStateThenStartsMusicAndClock)
{
    const std::vector<GlCall> clear = RecordedCallsNamed("glClearColor");
    ASSERT_EQ(clear.size(), 1u);
    EXPECT_EQ(clear[0].args, (std::vector<double>{0.02f, 0.02f, 0.02f, 0.0f}));
    EXPECT_EQ(RecordedCallsNamed("glEnable").at(0).args.at(0), GL_BLEND);
    EXPECT_EQ(RecordedCallsNamed("glDisable").at(0).args.at(0), GL_DEPTH_TEST);
    // The music starts only after every picture and list is in place.
    const std::vector<std::string>& sound = SoundCalls();
    ASSERT_GE(sound.size(), 3u);
    EXPECT_EQ(sound[0], "FSOUND_Init(44100,32,0)");
    EXPECT_EQ(sound[1], "FMUSIC_LoadSong(cud.mod)");
    EXPECT_EQ(sound[2], "FMUSIC_PlaySong(song)");
}

TEST(SceneMissingPicture, EndsWithTheReportBeforeAnyListOrMusic)
{
    ResetFakeSound();
    InstallRecordingGl();
    const std::string folder = WriteTestPictures("g2.pcx");
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    // The child checks, while exiting, what had been done before the report.
    EXPECT_EXIT(
        {
            std::atexit([] {
                const bool fourUploaded = RecordedCallsNamed("glTexImage2D").size() == 4;
                const bool nothingElse = RecordedCallsNamed("glGenLists").empty() && SoundCalls().empty();
                if (!fourUploaded || !nothingElse)
                    std::_Exit(99);
            });
            InitScene();
        },
        ::testing::ExitedWithCode(2), "");
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(folder);
    ResetGraphicsEntryPoints();
}

}  // namespace
