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

// Ends in ".vrm.vmd", in any letter case.
template <class S>
bool HasCopyExtension(const S& s) {
  const std::string tail = std::string(kFixCopySuffix) + ".vmd";
  if (s.size() < tail.size()) return false;
  const size_t at = s.size() - tail.size();
  for (size_t i = 0; i < tail.size(); i++) {
    const auto c = s[at + i];
    if ((c >= 'A' && c <= 'Z' ? c | 0x20 : c) != tail[i]) return false;
  }
  return true;
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

// A file open through its UTF-16 path (an OS handle) or its narrow one (a C
// stream).
struct File {
  PortHandle h = kPortNoHandle;
  FILE* f = nullptr;
};

// Opens for reading: 0, or the port's error code (5 for a narrow name that
// cannot be opened, which says no more).
int OpenRead(const FixPath& p, File* file) {
  if (!p.wide.empty()) return PortOpenReadW(p.wide.c_str(), &file->h);
  file->f = PortOpenStreamA(p.narrow.c_str());
  return file->f ? 0 : 5;
}

// Bytes read (0 at the end), or -1.
int ReadSome(File* file, uint8_t* at, int n) {
  if (!file->f) return PortRead(file->h, at, n);
  const size_t got = fread(at, 1, size_t(n), file->f);
  return got == 0 && ferror(file->f) ? -1 : int(got);
}

// False when what was written could not be flushed.
bool Close(File* file) {
  if (file->f) return fclose(file->f) == 0;
  PortCloseFile(file->h);
  return true;
}

// Where the copy goes while FixEmit gives it out: small pieces (the runs of
// records between those that leave their place) are gathered into one
// buffer, so that a write moves a megabyte rather than a few records.
struct Sink {
  File file;
  std::unique_ptr<uint8_t[]> buf{new uint8_t[kSinkBuffer]};
  size_t held = 0;
  static constexpr size_t kSinkBuffer = size_t(1) << 20;
};

int WriteOut(Sink* s, const uint8_t* bytes, size_t n) {
  while (n > 0) {
    const int chunk = int(std::min<size_t>(n, size_t(1) << 24));
    const int put = s->file.f ? int(fwrite(bytes, 1, size_t(chunk), s->file.f)) : PortWrite(s->file.h, bytes, chunk);
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

// A file read alongside the copy as FixEmit gives it out: every piece must
// be its next bytes.
struct Compare {
  File file;
  std::unique_ptr<uint8_t[]> buf{new uint8_t[kChunk]};
  static constexpr int kChunk = 1 << 20;
};

int ComparePiece(void* ctx, const uint8_t* bytes, size_t n) {
  Compare* c = static_cast<Compare*>(ctx);
  while (n > 0) {
    const int got = ReadSome(&c->file, c->buf.get(), int(std::min<size_t>(n, Compare::kChunk)));
    if (got <= 0 || memcmp(c->buf.get(), bytes, size_t(got)) != 0) return -1;
    bytes += got;
    n -= size_t(got);
  }
  return 0;
}

// What a new file gets: the copy FixPlan planned last (bytes null), or n
// bytes already made.
struct Content {
  const uint8_t* bytes;
  size_t n;
};

// Gives the content to sink as FixEmit does: 0, or -1 as soon as sink fails.
int Emit(const Content& c, FixSink sink, void* ctx) {
  if (!c.bytes) return FixEmit(sink, ctx);
  return sink(ctx, c.bytes, c.n) == 0 ? 0 : -1;
}

// Whether the file at p holds exactly the content.
bool Holds(const FixPath& p, const Content& content) {
  Compare c;
  if (OpenRead(p, &c.file) != 0) return false;
  const bool same = Emit(content, ComparePiece, &c) == 0 && ReadSome(&c.file, c.buf.get(), 1) == 0;
  Close(&c.file);
  return same;
}

bool NameExists(const FixPath& p) {
  return p.wide.empty() ? PortNameExistsA(p.narrow.c_str()) : PortNameExistsW(p.wide.c_str());
}

void Remove(const FixPath& p) {
  if (p.wide.empty()) PortRemoveA(p.narrow.c_str()); else PortRemoveW(p.wide.c_str());
}

// Creates a new file of a name not taken in the copy's folder,
// "~tarvel-fix-N.tmp", in the forms the copy's path has: 0, or the port's
// error code.
int CreateTemporary(const FixPath& copy, FixPath* temp, File* file) {
  for (int n = 1;; n++) {
    const std::string name = "~tarvel-fix-" + std::to_string(n) + ".tmp";
    temp->narrow = copy.narrow.empty() ? "" : copy.narrow.substr(0, NameStart(copy.narrow)) + name;
    temp->wide.clear();
    if (!copy.wide.empty()) {
      temp->wide = copy.wide.substr(0, NameStart(copy.wide));
      for (char c : name) temp->wide += char16_t(c);
    }
    int e = 0;
    if (!temp->wide.empty()) {
      e = PortCreateNewW(temp->wide.c_str(), &file->h);
    } else if ((file->f = PortCreateStreamA(temp->narrow.c_str())) == nullptr) {
      e = PortNameExistsA(temp->narrow.c_str()) ? 80 : 5;
    }
    if (e != 80 || n == 1000) return e;
  }
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

bool FixIsCopyName(const std::string& name) { return HasCopyExtension(name); }
bool FixIsCopyName(const std::u16string& name) { return HasCopyExtension(name); }

namespace {

// The path of a file made from the motion, named by name_of from the
// motion's name: beside it, or in dir.
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

}  // namespace

FixPath FixCopyPath(const FixPath& in, const FixPath* dir) {
  return MadePath(in, dir, [](const auto& name) { return CopyName(name); });
}

FixPath FixVrmaPath(const FixPath& in, const FixPath* dir) {
  return MadePath(in, dir, [](const auto& name) { return VrmaName(name); });
}

const char* FixReadWhole(const FixPath& p, FixBytes* bytes) {
  bytes->size = 0;
  static char reason[64];
  File file;
  const int e = OpenRead(p, &file);
  if (e != 0) {
    if (p.wide.empty()) return "cannot open";
    OpenErrorText(e, reason, sizeof reason);
    return reason;
  }
  int64_t end = 0;
  if (file.f) {
    if (fseek(file.f, 0, SEEK_END) == 0) end = ftell(file.f);
    rewind(file.f);
  } else if (PortSeek(file.h, 0, 2, &end) == 0 && PortSeek(file.h, 0, 0, nullptr) != 0) {
    Close(&file);
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
    const int n = ReadSome(&file, bytes->data.get() + bytes->size,
                           int(std::min<size_t>(bytes->cap - bytes->size, size_t(1) << 24)));
    if (n < 0) {
      failed = "read error";
      break;
    }
    if (n == 0) break;
    bytes->size += size_t(n);
  }
  Close(&file);
  return failed;
}

namespace {

const char* WriteNew(const FixPath& p, const Content& content, bool* already) {
  static char reason[96];
  if (already) *already = false;
  if (p.narrow.empty() && p.wide.empty()) return "no name for the copy";
  if (p.narrow.size() >= kPathMax * 2 || p.wide.size() >= size_t(kPathMax)) return "name too long";
  if (NameExists(p)) {
    if (!Holds(p, content)) return "a file of that name exists and is not this copy (the copy never replaces one)";
    if (already) *already = true;
    return nullptr;
  }
  // Written whole under a name of its own, then given its name: a run cut
  // short leaves no part of a copy under the copy's name.
  FixPath temp;
  Sink s;
  int e = CreateTemporary(p, &temp, &s.file);
  if (e != 0) {
    OpenErrorText(e, reason, sizeof reason);
    return reason;
  }
  bool ok = Emit(content, WritePiece, &s) == 0 && Flush(&s) == 0;
  if (!Close(&s.file)) ok = false;
  if (ok) {
    e = temp.wide.empty() ? PortRenameNewA(temp.narrow.c_str(), p.narrow.c_str())
                          : PortRenameNewW(temp.wide.c_str(), p.wide.c_str());
    if (e == 0) return nullptr;
  }
  Remove(temp);
  if (!ok) return "writing the copy failed; it was removed";
  if (e == 80) return "a file of that name appeared while the copy was written (the copy never replaces one)";
  OpenErrorText(e, reason, sizeof reason);
  return reason;
}

}  // namespace

const char* FixWriteNew(const FixPath& p, bool* already) { return WriteNew(p, Content{nullptr, 0}, already); }

const char* FixWriteNewBytes(const FixPath& p, const uint8_t* bytes, size_t n, bool* already) {
  return WriteNew(p, Content{bytes, n}, already);
}

const char* FixNoCopyReason(const FixResult& r) {
  static char why[192];
  switch (r.status) {
    case kFixNotMotion: return "not a VMD motion";
    case kFixCut: {
      const char* section = r.cutSection == 1 ? "bone" : "morph";
      if (r.cutDeclared < 0)
        snprintf(why, sizeof why, "the file's %s count is negative (%lld): no key after it can be read", section,
                 (long long)r.cutDeclared);
      else if (r.cutDeclared == 0)
        snprintf(why, sizeof why, "the file ends inside its %s count: the copy cannot be laid out", section);
      else
        snprintf(why, sizeof why,
                 "the file ends inside its %s keys (%lld of %lld records): the keys after the cut are "
                 "unknown, so the %s",
                 section, (long long)r.cutPresent, (long long)r.cutDeclared,
                 r.cutSection == 1 ? "chain cannot be rebuilt" : "copy cannot be laid out");
      return why;
    }
    case kFixRefused: return "no fold could be made";
    default: return "nothing to fix";
  }
}
