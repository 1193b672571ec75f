#pragma once
// Test pictures in the show's format, written to a fresh folder.

#include <cstdint>
#include <string>

// The grey level of pixel (x, y) of test picture number `picture` (0..6):
// a different gradient per picture, covering 0..255.
std::uint8_t TestPictureGrey(int picture, int x, int y);

// Writes the seven pictures the show loads ("created.pcx", ... "resp.pcx",
// picture numbers 0..6 in the show's load order) into a new temporary folder
// and returns its path; `leaveOut`, when not empty, names one not written.
std::string WriteTestPictures(const std::string& leaveOut = "");

// Writes the seven pictures, each of one grey level (levels[i] for picture
// number i), into a new temporary folder and returns its path.
std::string WriteFlatTestPictures(const std::uint8_t levels[7]);

// Writes our stand-in pictures (make-standins') into a new temporary folder
// and returns its path.
std::string WriteStandInPictures();

// Runs InitScene in `folder` (no "cud.mod" there: the silent show of 210 s),
// then removes the folder.
void InitSceneIn(const std::string& folder);
