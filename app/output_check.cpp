#include "app/output_check.h"

#include <cerrno>

namespace {

// The reason in words, the same whatever the locale.
const char* WriteErrorText(int e) {
  switch (e) {
    case EPIPE: return "broken pipe (the reader has gone)";
    case ENOSPC: return "no space left on the device";
    case EFBIG: return "file too large";
    case EIO: return "input/output error";
    case EBADF: return "the output is not open for writing";
#ifdef EDQUOT
    case EDQUOT: return "disk quota exceeded";
#endif
    default: return nullptr;
  }
}

}  // namespace

bool OutputWritten(FILE* out, FILE* err, const char* program) {
  // errno is the failed write's: the check follows the writes at once.
  if (fflush(out) == 0 && !ferror(out)) return true;
  const int e = errno;
  const char* text = WriteErrorText(e);
  if (text)
    fprintf(err, "%s: write error: %s\n", program, text);
  else
    fprintf(err, "%s: write error: system error %d\n", program, e);
  fflush(err);
  return false;
}
