#pragma once
// A recording GL table: every GL and GLUT entry point appends its call to a
// log instead of drawing. Tests read the log to see what a routine emitted.

#include <string>
#include <vector>

struct GlCall {
    std::string name;          // "glVertex2f"
    std::vector<double> args;  // numeric arguments in order; a const GLfloat*
                               // (glVertex3fv) contributes its three floats,
                               // other pointers contribute nothing
};

// Points every entry point at its recorder and empties the log.
// glGenLists returns 1 and later calls count on from there; glutCreateWindow
// returns window 1.
void InstallRecordingGl();
const std::vector<GlCall>& RecordedGlCalls();
const std::string& RecordedWindowTitle();
void ClearRecordedGlCalls();
// The calls whose name is name, in order.
std::vector<GlCall> RecordedCallsNamed(const std::string& name);
