// Helpers of the Windows-only tests.
#pragma once
#include <string>
#include <vector>

// Environment variable that turns the test program into a split child.
constexpr wchar_t kSplitOutVar[] = L"TARVEL_SPLIT_OUT";

// Both argument lists as a child process started with the command line
// exactly as given splits them (its GetCommandLineW / GetCommandLineA).
struct SplitResult {
  bool ok = false;
  std::vector<std::u16string> wide;
  std::vector<std::string> narrow;
};
SplitResult RunSplitChild(const std::u16string& commandLine);

// UTF-16 in the ANSI code page, as the system converts (unmappable
// characters become '?').
std::string ToAnsi(const std::u16string& s);

// A fresh folder under the temporary folder, removed with its contents;
// every path here is a UTF-16 path with backslashes.
class WideTempDir {
 public:
  WideTempDir();
  ~WideTempDir();
  WideTempDir(const WideTempDir&) = delete;
  WideTempDir& operator=(const WideTempDir&) = delete;
  bool Ok() const { return !root_.empty(); }
  const std::u16string& Root() const { return root_; }
  std::u16string Path(const std::u16string& name) const { return root_ + u"\\" + name; }
  bool MakeDir(const std::u16string& name) const;
  // Creates or truncates the file with these bytes (through CreateFileW).
  bool Write(const std::u16string& name, const std::string& bytes) const;

 private:
  std::u16string root_;
};
