// Runs one of the built programs as a whole process, for the tests of a
// program as a user meets it.
#pragma once
#include <string>

struct ToolRun {
  int status;  // the exit status, or -1 when it did not exit
  std::string out, err;
};

// Runs program (its path) on args (shell words, redirections too): its
// standard output and error apart.
ToolRun RunTool(const std::string& program, const std::string& args);
