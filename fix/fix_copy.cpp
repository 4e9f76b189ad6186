#include "fix/fix_copy.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "analysis/file_report.h"
#include "base/paths.h"
#include "base/runenv.h"
#include "fix/fix.h"
#include "platform/port.h"

const char kFixCopySuffix[] = ".vrm";
const char kFixVrmaExtension[] = ".vrma";

namespace {

bool IsSeparator(int c) { return c == '/' || c == PortDirSeparator(); }

template <class S>
size_t NameStart(const S& s) {
  size_t i = s.size();
  while (i > 0 && !IsSeparator(s[i - 1])) i--;
  return i;
}

template <class S>
bool HasMotionExtension(const S& s) {
  if (s.size() < 4) return false;
  const size_t e = s.size() - 4;
  return s[e] == '.' && (s[e + 1] | 0x20) == 'v' && (s[e + 2] | 0x20) == 'm' && (s[e + 3] | 0x20) == 'd';
}

// NAME.vmd -> NAME.vrm.vmd; a name without the extension gets ".vrm.vmd".
template <class S>
S CopyName(const S& name) {
  S suffix, ext;
  for (const char* p = kFixCopySuffix; *p; p++) suffix += typename S::value_type(*p);
  if (HasMotionExtension(name))
    return name.substr(0, name.size() - 4) + suffix + name.substr(name.size() - 4);
  for (const char* p = ".vmd"; *p; p++) ext += typename S::value_type(*p);
  return name + suffix + ext;
}

// NAME.vmd -> NAME.vrma; a name without the extension gets ".vrma".
template <class S>
S VrmaName(const S& name) {
  S ext;
  for (const char* p = kFixVrmaExtension; *p; p++) ext += typename S::value_type(*p);
  return (HasMotionExtension(name) ? name.substr(0, name.size() - 4) : name) + ext;
}

template <class S>
S Joined(S dir, const S& name) {
  if (!dir.empty() && !IsSeparator(dir.back())) dir += typename S::value_type(PortDirSeparator());
  return dir + name;
}

constexpr int64_t kReadMax = int64_t(1) << 30;  // no motion comes near a gigabyte

// Where the copy goes while FixEmit gives it out: small pieces (the runs of
// records between those that leave their place) are gathered into one
// buffer, so that a write moves a megabyte rather than a few records.
struct Sink {
  PortHandle h = kPortNoHandle;
  FILE* f = nullptr;
  std::unique_ptr<uint8_t[]> buf{new uint8_t[kSinkBuffer]};
  size_t held = 0;
  static constexpr size_t kSinkBuffer = size_t(1) << 20;
};

int WriteOut(Sink* s, const uint8_t* bytes, size_t n) {
  while (n > 0) {
    const int chunk = int(std::min<size_t>(n, size_t(1) << 24));
    const int put = s->f ? int(fwrite(bytes, 1, size_t(chunk), s->f)) : PortWrite(s->h, bytes, chunk);
    if (put <= 0) return -1;
    bytes += put;
    n -= size_t(put);
  }
  return 0;
}

int Flush(Sink* s) {
  const size_t n = s->held;
  s->held = 0;
  return WriteOut(s, s->buf.get(), n);
}

int WritePiece(void* ctx, const uint8_t* bytes, size_t n) {
  Sink* s = static_cast<Sink*>(ctx);
  if (s->held + n > Sink::kSinkBuffer && Flush(s) != 0) return -1;
  if (n >= Sink::kSinkBuffer) return WriteOut(s, bytes, n);
  memcpy(s->buf.get() + s->held, bytes, n);
  s->held += n;
  return 0;
}

}  // namespace

FixPath FixMakePath(const char* narrow, const char16_t* wide) {
  FixPath p;
  p.narrow = narrow ? narrow : "";
  if (wide) {
    p.wide = wide;
  } else {
    char16_t w[kPathMax];
    if (narrowtounipath(w, kPathMax, p.narrow.c_str()) == 0) p.wide = w;
  }
  return p;
}

bool FixIsMotionName(const std::string& name) { return HasMotionExtension(name); }
bool FixIsMotionName(const std::u16string& name) { return HasMotionExtension(name); }

// The path of a file made from the motion, named by Name from the motion's
// name: beside it, or in dir.
template <class Name>
FixPath MadePath(const FixPath& in, const FixPath* dir, Name name_of) {
  FixPath p;
  if (!in.narrow.empty()) {
    const size_t n = NameStart(in.narrow);
    const std::string name = name_of(in.narrow.substr(n));
    p.narrow = dir ? (dir->narrow.empty() ? "" : Joined(dir->narrow, name)) : in.narrow.substr(0, n) + name;
  }
  if (!in.wide.empty() && (!dir || !dir->wide.empty())) {
    const size_t n = NameStart(in.wide);
    const std::u16string name = name_of(in.wide.substr(n));
    p.wide = dir ? Joined(dir->wide, name) : in.wide.substr(0, n) + name;
  }
  return p;
}

FixPath FixCopyPath(const FixPath& in, const FixPath* dir) {
  return MadePath(in, dir, [](const auto& name) { return CopyName(name); });
}

FixPath FixVrmaPath(const FixPath& in, const FixPath* dir) {
  return MadePath(in, dir, [](const auto& name) { return VrmaName(name); });
}

const char* FixReadWhole(const FixPath& p, FixBytes* bytes) {
  bytes->size = 0;
  static char reason[64];
  PortHandle h = kPortNoHandle;
  FILE* f = nullptr;
  if (!p.wide.empty()) {
    const int e = PortOpenReadW(p.wide.c_str(), &h);
    if (e != 0) {
      OpenErrorText(e, reason, sizeof reason);
      return reason;
    }
  } else {
    f = PortOpenStreamA(p.narrow.c_str());
    if (!f) return "cannot open";
  }
  int64_t end = 0;
  if (f) {
    if (fseek(f, 0, SEEK_END) == 0) end = ftell(f);
    rewind(f);
  } else if (PortSeek(h, 0, 2, &end) == 0 && PortSeek(h, 0, 0, nullptr) != 0) {
    PortCloseFile(h);
    return "cannot seek back to the start";
  }
  const char* failed = nullptr;
  for (;;) {
    if (bytes->size == bytes->cap) {
      // Room for the size the file had, and more if it has grown since.
      if (int64_t(bytes->cap) > kReadMax) {
        failed = "larger than a gigabyte";
        break;
      }
      const size_t cap = std::max<size_t>(bytes->cap * 2, size_t(std::clamp<int64_t>(end + 1, 1 << 16, kReadMax + 1)));
      std::unique_ptr<uint8_t[]> more(new uint8_t[cap]);
      if (bytes->size) memcpy(more.get(), bytes->data.get(), bytes->size);
      bytes->data = std::move(more);
      bytes->cap = cap;
    }
    const int want = int(std::min<size_t>(bytes->cap - bytes->size, size_t(1) << 24));
    uint8_t* at = bytes->data.get() + bytes->size;
    const int n = f ? int(fread(at, 1, size_t(want), f)) : PortRead(h, at, want);
    if (n < 0 || (f && n == 0 && ferror(f))) {
      failed = "read error";
      break;
    }
    if (n == 0) break;
    bytes->size += size_t(n);
  }
  if (f) fclose(f); else PortCloseFile(h);
  return failed;
}

namespace {

// Creates the file and writes bytes (n of them) into it, or the copy
// FixPlan planned when bytes is null.
const char* WriteNew(const FixPath& p, const uint8_t* bytes, size_t n) {
  static char reason[96];
  if (p.narrow.empty() && p.wide.empty()) return "no name for the copy";
  if (p.narrow.size() >= kPathMax * 2 || p.wide.size() >= size_t(kPathMax)) return "name too long";
  Sink s;
  if (!p.wide.empty()) {
    const int e = PortCreateNewW(p.wide.c_str(), &s.h);
    if (e != 0) {
      if (e == 80) return "a file of that name exists (the copy never replaces one)";
      OpenErrorText(e, reason, sizeof reason);
      return reason;
    }
  } else {
    if (PortNameExistsA(p.narrow.c_str()))
      return "a file of that name exists (the copy never replaces one)";
    s.f = PortCreateStreamA(p.narrow.c_str());
    if (!s.f) return "cannot create the copy";
  }
  bool ok = (bytes ? WriteOut(&s, bytes, n) : FixEmit(WritePiece, &s)) == 0 && Flush(&s) == 0;
  if (s.f) {
    if (fclose(s.f) != 0) ok = false;
  } else {
    PortCloseFile(s.h);
  }
  if (ok) return nullptr;
  if (!p.wide.empty()) PortRemoveW(p.wide.c_str()); else PortRemoveA(p.narrow.c_str());
  return "writing the copy failed; it was removed";
}

}  // namespace

const char* FixWriteNew(const FixPath& p) { return WriteNew(p, nullptr, 0); }

const char* FixWriteNewBytes(const FixPath& p, const uint8_t* bytes, size_t n) { return WriteNew(p, bytes, n); }

const char* FixNoCopyReason(const FixResult& r) {
  static char why[192];
  switch (r.status) {
    case kFixNotMotion: return "not a VMD motion";
    case kFixCut:
      snprintf(why, sizeof why,
               "the file ends inside its %s keys (%lld of %lld records): the keys after the cut are "
               "unknown, so the chain cannot be rebuilt",
               r.cutSection == 1 ? "bone" : "morph", (long long)r.cutPresent, (long long)r.cutDeclared);
      return why;
    case kFixRefused: return "no fold could be made";
    default: return "nothing to fix";
  }
}
