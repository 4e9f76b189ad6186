// Runs the report tool as a program, for the whole-program tests.
#pragma once
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

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

// The JSON documents of a run's output (kind "json": one; "jsonl": one a
// line), parsed, after checking the text against the schema in docs/ with
// python3-jsonschema.
inline std::vector<nlohmann::json> Valid(const TempDir& dir, const std::string& text, const std::string& kind) {
  const std::string cmd = "python3 '" TARVEL_SOURCE_DIR "/tests/app/check_report_json.py' '" TARVEL_SOURCE_DIR
                          "/docs/report.schema.json' " + kind + " " + Q(dir.Write("checked." + kind, text));
  const int st = system(cmd.c_str());
  EXPECT_NE(WEXITSTATUS(st), 77) << "python3-jsonschema is missing (scripts/bootstrap installs it)";
  EXPECT_EQ(WEXITSTATUS(st), 0) << text.substr(0, 2000);
  std::vector<nlohmann::json> docs;
  for (size_t at = 0, end; at < text.size(); at = end + 1) {
    end = kind == "jsonl" ? std::min(text.find('\n', at), text.size()) : text.size();
    docs.push_back(nlohmann::json::parse(text.substr(at, end - at), nullptr, false));
    EXPECT_FALSE(docs.back().is_discarded()) << text.substr(at, 200);
  }
  return docs;
}
