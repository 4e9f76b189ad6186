# The start of every Wine test script: skip (exit 77) and fail (the run ends
# with 1), and tarvel_needs PROGRAM TOOL..., which skips the test when the
# program under test or one of the tools is missing.
skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*"; failed=1; }
failed=0
tarvel_needs() {
  local program="$1" tool
  shift
  for tool in "$@"; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool not installed"
  done
  [ -f "$program" ] || skip "no program at $program"
}
