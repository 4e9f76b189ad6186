// Runs the report tool as a program, for the whole-program tests.
#pragma once
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/tempdir.h"

struct ToolResult {
  int status;
  std::string out;
  std::string err;
};

// Runs a copy of the report tool placed in dir (so that an alias.ini there is
// its own) on the arguments (shell words); stdout and stderr apart.
inline ToolResult RunTool(const TempDir& dir, const std::string& args) {
  std::string exe = dir.Path("tarvel-report");
  std::string errFile = dir.Path("stderr.txt");
  if (!FileExists(exe)) {
    std::string copy = "cp '" TARVEL_BINARY_DIR "/tarvel-report' '" + exe + "'";
    EXPECT_EQ(system(copy.c_str()), 0);
  }
  std::string cmd = "'" + exe + "' " + args + " 2>'" + errFile + "'";
  ToolResult r{-1, "", ""};
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  r.err = ReadFileBytes(errFile);
  return r;
}

inline std::string Q(const std::string& path) { return "'" + path + "'"; }
