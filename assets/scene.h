#pragma once
// What every effect shares on the GL side: seven picture textures, three
// display lists and the GL state that holds for the whole run.

#include <array>
#include <cstdint>

// Texture names, fixed: the program never asks GL for names.
constexpr std::uint32_t TexCreated = 20;
constexpr std::uint32_t TexSound = 21;
constexpr std::uint32_t TexResp = 22;
constexpr std::uint32_t TexG0 = 23;
constexpr std::uint32_t TexG1 = 24;
constexpr std::uint32_t TexG2 = 25;
constexpr std::uint32_t TexG3 = 26;

// A picture file of the working folder and the texture it becomes.
struct PictureTexture {
    const char* fileName;
    std::uint32_t texture;
};

// The seven pictures in load order, not numeric order: "resp.pcx" comes
// last and stays bound. The stand-in maker and the tests write these files.
inline constexpr std::array<PictureTexture, 7> PictureTextures = {{
    {"created.pcx", TexCreated}, {"sound.pcx", TexSound}, {"g0.pcx", TexG0}, {"g1.pcx", TexG1},
    {"g2.pcx", TexG2},           {"g3.pcx", TexG3},       {"resp.pcx", TexResp},
}};

// The colour every frame clears to (RGBA), set by InitScene: level 5 of 255.
inline constexpr std::array<float, 4> SceneClearColor = {0.02f, 0.02f, 0.02f, 0.0f};

// Consecutive list names from one glGenLists(3); valid after InitScene.
extern std::uint32_t RingList;    // 30 quads, radii 1 and 0.6, z = 0
extern std::uint32_t SphereList;  // unit sphere, 128 triangles, culls its back faces
extern std::uint32_t SquareList;  // quad (-1, -1) to (1, 1), z = 0

// Loads the pictures into textures, sets the lasting GL state, builds the
// lists, then starts the music and the clock. Called once by the start-up,
// with the window's GL context current. A picture that cannot be read ends
// the program with the run-time error report.
void InitScene();
