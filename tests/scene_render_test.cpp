#include "assets/scene.h"

#include "platform/gl_api.h"
#include "tests/support/egl_context.h"
#include "tests/support/fake_sound.h"
#include "tests/support/picture_files.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

constexpr int ViewWidth = 800;
constexpr int ViewHeight = 600;

// InitScene on Mesa's real GL, offscreen; the scene is built once for all.
class SceneOnMesa : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        available = OpenOffscreenGl(ViewWidth, ViewHeight);
        if (!available)
            return;
        ResetFakeSound();
        const std::string folder = WriteTestPictures();
        const std::filesystem::path previous = std::filesystem::current_path();
        std::filesystem::current_path(folder);
        InitScene();
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(folder);
    }
    static void TearDownTestSuite() { CloseOffscreenGl(); }

    void SetUp() override
    {
        if (!available)
            GTEST_SKIP() << "no offscreen OpenGL on this machine";
    }

    // Sets the show's view (x -4..4, y -3..3) and clears to black.
    static void StartFrame()
    {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-4.0, 4.0, -3.0, 3.0, -10.0, 10.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_BLEND);
        glColor4f(1, 1, 1, 1);
    }

    // Red level at view coordinates (x, y).
    static int RedAt(const std::vector<std::uint8_t>& rgb, double x, double y)
    {
        const int column = static_cast<int>((x + 4.0) / 8.0 * ViewWidth);
        const int row = static_cast<int>((3.0 - y) / 6.0 * ViewHeight);
        return rgb[(static_cast<std::size_t>(row) * ViewWidth + column) * 3];
    }

    static bool available;
};
bool SceneOnMesa::available = false;

TEST_F(SceneOnMesa, LeavesBlendOnAndDepthCullTexturingOffWithRespBound)
{
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 22);
    EXPECT_TRUE(glIsList(RingList));
    EXPECT_TRUE(glIsList(SphereList));
    EXPECT_TRUE(glIsList(SquareList));
    EXPECT_EQ(SphereList, RingList + 1);
    EXPECT_EQ(SquareList, RingList + 2);
}

TEST_F(SceneOnMesa, EveryTextureReadsBackAsItsGreyPicture)
{
    const GLuint names[7] = {TexCreated, TexSound, TexG0, TexG1, TexG2, TexG3, TexResp};
    std::vector<std::uint8_t> texels(512 * 512 * 4);
    for (int picture = 0; picture < 7; ++picture) {
        glBindTexture(GL_TEXTURE_2D, names[picture]);
        GLint width = 0;
        GLint height = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
        EXPECT_EQ(width, 512);
        EXPECT_EQ(height, 512);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        int wrong = 0;
        for (int y = 0; y < 512; ++y)
            for (int x = 0; x < 512; ++x) {
                const std::uint8_t* texel = &texels[(static_cast<std::size_t>(y) * 512 + x) * 4];
                const std::uint8_t grey = TestPictureGrey(picture, x, y);
                wrong += texel[0] != grey || texel[1] != grey || texel[2] != grey || texel[3] != 255;
            }
        EXPECT_EQ(wrong, 0) << PictureTextures[picture].fileName;
    }
    glBindTexture(GL_TEXTURE_2D, TexResp);
}

TEST_F(SceneOnMesa, RingDrawsAnAnnulus)
{
    StartFrame();
    glCallList(RingList);
    const std::vector<std::uint8_t> rgb = ReadOffscreenRgb();
    EXPECT_GT(RedAt(rgb, 0.0, 0.8), 250);   // on the band
    EXPECT_GT(RedAt(rgb, -0.8, 0.0), 250);
    EXPECT_LT(RedAt(rgb, 0.0, 0.0), 5);     // the hole
    EXPECT_LT(RedAt(rgb, 0.0, 0.5), 5);
    EXPECT_LT(RedAt(rgb, 1.2, 0.0), 5);     // outside
}

TEST_F(SceneOnMesa, SquareCoversMinusOneToOne)
{
    StartFrame();
    glCallList(SquareList);
    const std::vector<std::uint8_t> rgb = ReadOffscreenRgb();
    EXPECT_GT(RedAt(rgb, 0.95, 0.95), 250);
    EXPECT_GT(RedAt(rgb, -0.95, -0.95), 250);
    EXPECT_LT(RedAt(rgb, 1.05, 0.0), 5);
    EXPECT_LT(RedAt(rgb, 0.0, -1.05), 5);
}

TEST_F(SceneOnMesa, SphereShowsItsFullDiscAndLeavesCullingOff)
{
    StartFrame();
    glEnable(GL_CULL_FACE);
    glCallList(SphereList);
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    const std::vector<std::uint8_t> rgb = ReadOffscreenRgb();
    // Only the far half survives culling, but its outline is the full disc.
    EXPECT_GT(RedAt(rgb, 0.0, 0.0), 250);
    EXPECT_GT(RedAt(rgb, 0.9, 0.0), 250);
    EXPECT_GT(RedAt(rgb, 0.0, -0.9), 250);
    EXPECT_LT(RedAt(rgb, 1.1, 0.0), 5);
    EXPECT_LT(RedAt(rgb, 0.8, 0.8), 5);
}

}  // namespace
