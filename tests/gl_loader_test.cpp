#include "platform/gl_loader.h"

#include "platform/gl_api.h"

#include <gtest/gtest.h>

namespace {

class GraphicsLoader : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetGraphicsEntryPoints();
        GlAvailable = GlutAvailable = false;
    }
    void TearDown() override
    {
        ResetGraphicsEntryPoints();
        GlAvailable = GlutAvailable = false;
    }
};

TEST_F(GraphicsLoader, MissingLibraryIsReportedUnavailable)
{
    EXPECT_FALSE(LoadGlLibrary({"libOrvaneNoSuchGL.so.1"}));
    EXPECT_FALSE(LoadGlutLibrary({"libOrvaneNoSuchGlut.so.3", "libOrvaneNoSuchGlut.so"}));
    EXPECT_FALSE(GlAvailable);
    EXPECT_FALSE(GlutAvailable);
}

TEST_F(GraphicsLoader, LaterNameIsTriedWhenTheFirstIsMissing)
{
    EXPECT_TRUE(LoadGlutLibrary({"libOrvaneNoSuchGlut.so.3", "libglut.so.3.12"}));
    EXPECT_TRUE(GlutAvailable);
    EXPECT_NE(GLUT_BITMAP_TIMES_ROMAN_24, nullptr);
}

TEST_F(GraphicsLoader, RealLibrariesLoadUnderThePlatformNames)
{
    LoadGraphicsLibraries();
    EXPECT_TRUE(GlAvailable);
    EXPECT_TRUE(GlutAvailable);
}

TEST_F(GraphicsLoader, LibraryWithoutTheEntryPointsLeavesHarmlessStandIns)
{
    // The maths library loads but has none of GL's or GLUT's functions.
    ASSERT_TRUE(LoadGlLibrary({"libm.so.6"}));
    ASSERT_TRUE(LoadGlutLibrary({"libm.so.6"}));
    EXPECT_TRUE(GlAvailable);
    EXPECT_TRUE(GlutAvailable);
    glClear(GL_COLOR_BUFFER_BIT);
    glutPostRedisplay();
    glutMainLoop();
    EXPECT_EQ(glGenLists(3), 0u);
    EXPECT_EQ(glutCreateWindow("Orvane"), 0);
    EXPECT_EQ(GLUT_BITMAP_TIMES_ROMAN_24, nullptr);
}

}  // namespace
