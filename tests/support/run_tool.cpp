#include "tests/support/run_tool.h"

// popen of a shell command line: the tests that run programs are POSIX only.
#ifndef _WIN32
#include <sys/wait.h>

#include <cstdio>

#include "tests/support/tempdir.h"
#include "tests/support/vmdwriter.h"

ToolRun RunTool(const std::string& program, const std::string& args) {
  ToolRun r{-1, "", ""};
  const std::string errFile = VmdTempPath("tool-stderr");
  FILE* p = popen(("'" + program + "' " + args + " 2>'" + errFile + "'").c_str(), "r");
  if (!p) return r;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  const int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  r.err = ReadFileBytes(errFile);
  remove(errFile.c_str());
  return r;
}
#endif
