#include "assets/sphere.h"

#include "platform/gl_api.h"
#include "tests/support/gl_recording.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <set>
#include <vector>

namespace {
using Vec3 = std::array<double, 3>;
using Triangle = std::array<Vec3, 3>;

// The triangles BuildSphere emits, each checked to be its own
// glBegin(GL_TRIANGLES) .. glEnd with three vertices.
std::vector<Triangle> EmittedTriangles()
{
    std::vector<Triangle> triangles;
    const std::vector<GlCall>& calls = RecordedGlCalls();
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].name != "glBegin")
            continue;
        EXPECT_EQ(GL_TRIANGLES, calls[i].args.at(0));
        Triangle t{};
        for (int v = 0; v < 3; ++v) {
            const GlCall& vertex = calls.at(i + 1 + v);
            EXPECT_EQ("glVertex3fv", vertex.name);
            t[v] = {vertex.args.at(0), vertex.args.at(1), vertex.args.at(2)};
        }
        EXPECT_EQ("glEnd", calls.at(i + 4).name);
        triangles.push_back(t);
    }
    return triangles;
}

Vec3 Minus(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }

void ExpectVertex(const Vec3& expected, const Vec3& actual, const char* which)
{
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(expected[i], actual[i], 1e-7) << which << " component " << i;
}

class SphereTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        InstallRecordingGl();
        BuildSphere();
        triangles = EmittedTriangles();
    }
    void TearDown() override { ResetGraphicsEntryPoints(); }
    std::vector<Triangle> triangles;
};

TEST_F(SphereTest, EmitsOneHundredTwentyEightTrianglesBetweenCullingOnAndOff)
{
    EXPECT_EQ(128u, triangles.size());
    const std::vector<GlCall>& calls = RecordedGlCalls();
    ASSERT_EQ(2u + 128u * 5u, calls.size());  // nothing but the triangles and the bracket
    EXPECT_EQ("glEnable", calls.front().name);
    EXPECT_EQ(GL_CULL_FACE, calls.front().args.at(0));
    EXPECT_EQ("glDisable", calls.back().name);
    EXPECT_EQ(GL_CULL_FACE, calls.back().args.at(0));
}

TEST_F(SphereTest, SharesSixtySixPositionsOnTheUnitSphere)
{
    std::set<Vec3> positions;
    for (const Triangle& t : triangles)
        for (const Vec3& v : t) {
            positions.insert(v);
            EXPECT_NEAR(1.0, std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]), 1e-7);
        }
    // Exactly 66 also says shared vertices come out bit-identical.
    EXPECT_EQ(66u, positions.size());
}

TEST_F(SphereTest, EveryTriangleRunsClockwiseSeenFromOutside)
{
    for (std::size_t i = 0; i < triangles.size(); ++i) {
        const Triangle& t = triangles[i];
        const Vec3 u = Minus(t[1], t[0]);
        const Vec3 w = Minus(t[2], t[0]);
        const Vec3 normal = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2],
                             u[0] * w[1] - u[1] * w[0]};
        const double outward = normal[0] * (t[0][0] + t[1][0] + t[2][0]) +
                               normal[1] * (t[0][1] + t[1][1] + t[2][1]) +
                               normal[2] * (t[0][2] + t[1][2] + t[2][2]);
        EXPECT_LT(outward, 0) << "triangle " << i;
    }
}

TEST_F(SphereTest, EmitsDepthFirstFromTheTopCorner)
{
    ASSERT_GE(triangles.size(), 4u);
    ExpectVertex({0, 1, 0}, triangles[0][0], "first a");
    ExpectVertex({0.3826834, 0.9238795, 0}, triangles[0][1], "first b");
    ExpectVertex({0, 0.9238795, 0.3826834}, triangles[0][2], "first c");
    // The fourth is the centre triangle of the first corner.
    ExpectVertex({0.3826834, 0.9238795, 0}, triangles[3][0], "fourth a");
    ExpectVertex({0.4082483, 0.8164966, 0.4082483}, triangles[3][1], "fourth b");
    ExpectVertex({0, 0.9238795, 0.3826834}, triangles[3][2], "fourth c");
    // Faces 1-4 meet at the top, 5-8 at the bottom: half the triangles each side.
    int upper = 0;
    for (std::size_t i = 0; i < 64; ++i)
        upper += triangles[i][0][1] + triangles[i][1][1] + triangles[i][2][1] > 0;
    EXPECT_EQ(64, upper);
}

TEST(SphereNormalize, ScalesToUnitLengthAndLeavesZeroAlone)
{
    Vector v{3, 0, 4};
    NormalizeVector(v);
    EXPECT_FLOAT_EQ(0.6f, v.x);
    EXPECT_EQ(0.0f, v.y);
    EXPECT_FLOAT_EQ(0.8f, v.z);

    Vector zero{0, 0, 0};
    NormalizeVector(zero);
    EXPECT_EQ(0.0f, zero.x);
    EXPECT_EQ(0.0f, zero.y);
    EXPECT_EQ(0.0f, zero.z);

    Vector notANumber{std::nanf(""), 1, 0};
    NormalizeVector(notANumber);
    EXPECT_EQ(0.0f, notANumber.x);
    EXPECT_EQ(0.0f, notANumber.y);
    EXPECT_EQ(0.0f, notANumber.z);

    Vector tiny{0, -1e-30f, 0};  // the squared length underflows float: zero
    NormalizeVector(tiny);
    EXPECT_EQ(0.0f, tiny.y);
}

}  // namespace
