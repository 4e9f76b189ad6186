// A comma-decimal locale for one test: the process locale is set from it
// (all categories, as a toolkit's start-up does) while the object lives and
// back to "C" afterwards. Where none is installed, one is built with
// localedef into a temporary folder that LOCPATH points at.
//
//   CommaLocale de;
//   if (!de.Ok()) GTEST_SKIP() << "no comma-decimal locale";
#pragma once
#include <string>

#include "tests/support/tempdir.h"

class CommaLocale {
 public:
  CommaLocale();
  ~CommaLocale();
  CommaLocale(const CommaLocale&) = delete;
  CommaLocale& operator=(const CommaLocale&) = delete;
  bool Ok() const { return ok_; }

 private:
  TempDir dir_;
  std::string oldLocpath_;
  bool hadLocpath_ = false;
  bool ok_ = false;
};
