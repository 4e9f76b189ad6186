// The open-file dialog: filter list, title and default extension by kind,
// starting directory and name from the initial path, must-exist checks.
#include "dialogs/openfile.h"

#include <cstdint>
#include <type_traits>

#include "base/diag.h"
#include "base/paths.h"
#include "base/runenv.h"
#include "platform/port.h"

namespace {

constexpr int kNameBuf = kPathMax;  // the dialog's file-name buffer

// Which kinds offer an entry: bit k for kind k.
constexpr unsigned K(int k) { return 1u << k; }
constexpr unsigned kEvery = 0x1FF;

struct FilterEntry {
  unsigned kinds;
  const char* text;
  const char* patterns;
};

// In the order the entries are added to the list.
const FilterEntry kFilters[] = {
    {K(8), "BVH Motion File  (*.bvh)", "*.BVH"},
    {K(7), "VRM-Animation File  (*.vrma)", "*.VRMA"},
    {K(6), "MMD Model File  (*.pmx)", "*.PMX"},
    {K(5), "VRM Model File  (*.vrm)", "*.VRM"},
    {K(4), "MMD Motion File  (*.vmd)", "*.VMD"},
    {K(2) | K(3), "Script Files  (*.txt;*.ini;*.qzt)", "*.TXT;*.INI;*.QZT"},
    {K(2) | K(3), "Text Files  (*.txt)", "*.TXT"},
    {K(2) | K(3), "INI Files  (*.ini)", "*.INI"},
    {K(1) | K(3), "Image Files  (*.bmp;*.gif;*.avi;*.png;*.psd;*.jpg;*.jpe)",
     "*.BMP;*.GIF;*.AVI;*.PNG;*.PSD;*.JPG;*.JPE"},
    {K(1) | K(3), "BMP Files  (*.bmp)", "*.BMP"},
    {K(1) | K(3), "PNG Files  (*.png)", "*.PNG"},
    {K(1) | K(3), "PSD Files  (*.psd)", "*.PSD"},
    {K(1) | K(3), "JPEG Files  (*.jpg;*.jpe)", "*.JPG;*.JPE"},
    {K(1) | K(3), "GIF Files  (*.gif)", "*.GIF"},
    {K(1) | K(3), "AVI Files  (*.avi)", "*.AVI"},
    {kEvery, "All Files  (*.*)", "*.*"},
};

struct KindInfo {
  const char* title;
  const char* defaultExt;  // null: none
  const char* extHead;     // initial extension that selects filter 1; null: none
};

const KindInfo kKinds[9] = {
    {"Open File", "txt", nullptr},
    {"Open Image File", "bmp", nullptr},
    {"Open Script File", "txt", nullptr},
    {"Open Source File", nullptr, nullptr},
    {"Open MMD Motion File", "vmd", ".VMD"},
    {"Open VRM Model File", "vrm", ".VRM"},
    {"Open MMD Model File", "pmx", ".PMX"},
    {"Open VRM-Animation File", "vrma", ".VRMA"},
    {"Open BVH Motion File", "bvh", ".BVH"},
};

// Kinds outside the table are taken as kind 0.
int KnownKind(int kind) { return kind >= 0 && kind <= 8 ? kind : 0; }

int Len(const char* s) {
  int n = 0;
  while (s[n]) n++;
  return n;
}

// ASCII text into either form, bounded and terminated.
template <typename Ch>
void Widen(Ch* dst, int cap, const char* src) {
  int i = 0;
  for (; i < cap - 1 && src[i]; i++) dst[i] = (Ch)(unsigned char)src[i];
  dst[i] = 0;
}

template <typename Ch>
int Copy(Ch* dst, int cap, const Ch* src) {
  int n = 0;
  while (src[n]) n++;
  if (n + 1 > cap) return -1;
  for (int i = 0; i <= n; i++) dst[i] = src[i];
  return 0;
}

template <typename Ch>
int BuildFilters(Ch* dst, int cap, int kind) {
  if (cap > kFilterListMax) cap = kFilterListMax;
  if (!dst || cap < 1) return 0;
  unsigned bit = K(KnownKind(kind));
  int used = 0;
  for (const FilterEntry& e : kFilters) {
    if (!(e.kinds & bit)) continue;
    int lt = Len(e.text), lp = Len(e.patterns);
    if (used + lt + 1 + lp + 1 + 1 > cap) break;  // the pair and the final zero must fit
    Widen(dst + used, lt + 1, e.text);
    used += lt + 1;
    Widen(dst + used, lp + 1, e.patterns);
    used += lp + 1;
  }
  dst[used++] = 0;
  return used;
}

// The path operations in both forms.
void GetDir(char16_t* d, int c, const char16_t* p) { unigetdir(d, c, p); }
void GetDir(char* d, int c, const char* p) { getdir(d, c, p); }
void CutSep(char16_t* p) { unicutsep(p); }
void CutSep(char* p) { cutsep(p); }
void GetFname(char16_t* d, int c, const char16_t* p) { unigetfname(d, c, p); }
void GetFname(char* d, int c, const char* p) { getfname(d, c, p); }
void GetExt(char16_t* d, int c, const char16_t* p) { unigetext(d, c, p); }
void GetExt(char* d, int c, const char* p) { getext(d, c, p); }
int HeadCmp(const char16_t* s, const char16_t* h) { return uniheadcmp(s, h); }
int HeadCmp(const char* s, const char* h) { return headcmp(s, h); }

const char* ErrorName(uint32_t e) {
  switch (e) {
    case 0xFFFF: return "CDERR_DIALOGFAILURE.\n";
    case 1: return "CDERR_STRUCTSIZE.\n";
    case 2: return "CDERR_INITIALIZATION.\n";
    case 3: return "CDERR_NOTEMPLATE.\n";
    case 4: return "CDERR_NOHINSTANCE.\n";
    case 5: return "CDERR_LOADSTRFAILURE.\n";
    case 6: return "CDERR_FINDRESFAILURE.\n";
    case 7: return "CDERR_LOADRESFAILURE.\n";
    case 8: return "CDERR_LOCKRESFAILURE.\n";
    case 9: return "CDERR_MEMALLOCFAILURE.\n";
    case 10: return "CDERR_MEMLOCKFAILURE.\n";
    case 11: return "CDERR_NOHOOK.\n";
    case 0x3001: return "FNERR_SUBCLASSFAILURE.\n";
    case 0x3002: return "FNERR_INVALIDFILENAME.\n";
    case 0x3003: return "FNERR_BUFFERTOOSMALL.\n";
    default: return nullptr;
  }
}

constexpr uint32_t kBufferTooSmall = 0x3003;

template <typename Ch>
int OpenDialog(Ch* dst, int dstcap, int kind, const Ch* initialpath) {
  static const Ch kEmpty[1] = {0};
  if (!initialpath) initialpath = kEmpty;
  const KindInfo& info = kKinds[KnownKind(kind)];

  Ch dir[kPathMax], name[kNameBuf], ext[kPathMax];
  GetDir(dir, kPathMax, initialpath);
  CutSep(dir);
  GetFname(name, kNameBuf, initialpath);
  GetExt(ext, kPathMax, initialpath);

  static Ch filters[kFilterListMax];
  BuildFilters(filters, kFilterListMax, kind);
  Ch title[64], defext[8], head[8];
  Widen(title, 64, info.title);
  if (info.defaultExt) Widen(defext, 8, info.defaultExt);

  int index = 0;
  if (info.extHead) {
    Widen(head, 8, info.extHead);
    if (HeadCmp(ext, head) == 0) index = 1;
  }

  Ch chosen[kNameBuf];
  chosen[0] = 0;
  uint32_t error = 0;
  int r;
  if constexpr (std::is_same_v<Ch, char16_t>) {
    PortOpenDialogW d = {filters, index, dir[0] ? dir : nullptr, name, title,
                         info.defaultExt ? defext : nullptr, true};
    r = PortOpenFileDialogW(&d, chosen, kNameBuf, &error);
  } else {
    PortOpenDialogA d = {filters, index, dir[0] ? dir : nullptr, name, title,
                         info.defaultExt ? defext : nullptr, true};
    r = PortOpenFileDialogA(&d, chosen, kNameBuf, &error);
  }
  // A destination too small for the chosen path is the buffer failure too,
  // never a cut path.
  if (r == 0 && dst && Copy(dst, dstcap, chosen) != 0) {
    r = -1;
    error = kBufferTooSmall;
  }
  if (r == 0) return 0;

  if (error == 0) DiagPrint("\nCanceled File-Open Dialog Box. ");
  else DiagPrint("\nFailed Opening File-Open Dialog Box: %04X ", 0u);  // the call's FALSE
  DiagPrint("(stat=%04X).\n", error);
  if (const char* e = ErrorName(error)) DiagPrint("%s", e);
  return -1;
}

}  // namespace

int buildfilterlistW(char16_t* dst, int cap, int kind) { return BuildFilters(dst, cap, kind); }
int buildfilterlist(char* dst, int cap, int kind) { return BuildFilters(dst, cap, kind); }

int openfiledlgW(char16_t* dst, int dstcap, int kind, const char16_t* initialpath) {
  return OpenDialog(dst, dstcap, kind, initialpath);
}

int openfiledlg(char* dst, int dstcap, int kind, const char* initialpath) {
  return OpenDialog(dst, dstcap, kind, initialpath);
}
