// F in the report window: the VRM-ready copy of the motion on screen, made
// beside it as tarvel-fix makes it (the same check, read, folds and new
// file, so the same bytes and the same refusals), then a box saying what was
// done and the verdict the copy gets, or why no copy was made.
#pragma once
#include <string>

// The box's text (UTF-8) for the motion named by gRun.nameA / nameW, after
// making its copy. The run's state and the recorded report of the motion on
// screen are as they were before.
std::string WindowCopyText();
// WindowCopyText shown in a box titled "Tarvel" (the window its owner).
void WindowMakeCopy();
