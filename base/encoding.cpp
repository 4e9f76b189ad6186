#include "base/encoding.h"

#include <cstring>

#include "base/diag.h"
#include "base/sjis_tables.h"
#include "platform/port.h"

namespace {

// The Shift-JIS <-> UTF-16 converters stop after this many source units.
constexpr int kCountLimit = 9999;
// sjiscatutf8 refuses to append to a string of this many bytes or more.
constexpr int kCatUtf8Limit = 520;
constexpr int kUnilenLimit = 4999;

// The 18 codes that the Windows code page 932 decodes differently from the
// tables, used by sjistoutf8 (lead bytes 0x81-0x9F) and, backwards, by
// utf8tosjis.
struct WinPair {
  uint16_t sjis;
  uint16_t unit;
};
constexpr WinPair kWinPairs[] = {
    {0x815C, 0x2015}, {0x815F, 0xFF3C}, {0x8160, 0xFF5E}, {0x8161, 0x2225}, {0x817C, 0xFF0D},
    {0x8191, 0xFFE0}, {0x8192, 0xFFE1}, {0x81CA, 0xFFE2}, {0x8790, 0x2252}, {0x8791, 0x2261},
    {0x8792, 0x222B}, {0x8794, 0x2211}, {0x8795, 0x221A}, {0x8796, 0x22A5}, {0x8797, 0x2220},
    {0x879A, 0x2235}, {0x879B, 0x2229}, {0x879C, 0x222A},
};

constexpr bool WinPairsInOrder() {
  for (size_t i = 0; i < sizeof kWinPairs / sizeof kWinPairs[0]; i++) {
    if (kWinPairs[i].sjis >> 8 != 0x81 && kWinPairs[i].sjis >> 8 != 0x87) return false;
    if (i > 0 && kWinPairs[i - 1].sjis >= kWinPairs[i].sjis) return false;
  }
  return true;
}
static_assert(WinPairsInOrder(),
              "WinSjisToUni takes the pairs to begin with 0x81 or 0x87 and stand in order");

// Only codes with the lead byte 0x81 or 0x87 have a pair; they stand in
// Shift-JIS order: a binary search.
uint32_t WinSjisToUni(uint32_t code) {
  if (code >> 8 != 0x81 && code >> 8 != 0x87) return 0;
  int lo = 0, hi = static_cast<int>(sizeof kWinPairs / sizeof kWinPairs[0]);
  while (lo < hi) {
    const int m = (lo + hi) / 2;
    if (kWinPairs[m].sjis < code)
      lo = m + 1;
    else
      hi = m;
  }
  return lo < static_cast<int>(sizeof kWinPairs / sizeof kWinPairs[0]) && kWinPairs[lo].sjis == code
             ? kWinPairs[lo].unit
             : 0;
}

uint16_t WinUniToSjis(uint32_t unit) {
  if (unit == 0x301C) return 0x8160;  // WAVE DASH, as the table has it
  for (const WinPair& p : kWinPairs)
    if (p.unit == unit) return p.sjis;
  return 0;
}

// Lead-byte test of the Shift-JIS -> UTF-16 converters: the system's test for
// its narrow code page, except on a UTF-8 system, where that test knows no lead
// bytes at all and would garble the program's own Shift-JIS texts; there the
// fixed Shift-JIS ranges apply.
struct LeadTest {
  bool fixed;
  bool operator()(unsigned char b) const {
    if (fixed) return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    return PortIsDbcsLeadByte(b);
  }
};

LeadTest SystemLeadTest() { return LeadTest{PortAnsiCodePage() == 65001}; }

// Number of UTF-8 bytes for a code point (standard rules, up to four bytes).
int Utf8Length(uint32_t cp) {
  if (cp < 0x80) return 1;
  if (cp < 0x800) return 2;
  if (cp < 0x10000) return 3;
  return 4;
}

void PutUtf8(char* d, uint32_t cp) {
  if (cp < 0x80) {
    d[0] = (char)cp;
  } else if (cp < 0x800) {
    d[0] = (char)(0xC0 | (cp >> 6));
    d[1] = (char)(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    d[0] = (char)(0xE0 | (cp >> 12));
    d[1] = (char)(0x80 | ((cp >> 6) & 0x3F));
    d[2] = (char)(0x80 | (cp & 0x3F));
  } else {
    d[0] = (char)(0xF0 | ((cp >> 18) & 0x07));
    d[1] = (char)(0x80 | ((cp >> 12) & 0x3F));
    d[2] = (char)(0x80 | ((cp >> 6) & 0x3F));
    d[3] = (char)(0x80 | (cp & 0x3F));
  }
}

// Where appending to the string in dst starts: its length, looking at most
// `limit` units far. -1 (nothing may be appended) when no terminator lies
// inside the capacity.
int FindEnd(const char16_t* dst, int cap, int limit) {
  int n = 0;
  while (n < limit && n < cap && dst[n] != 0) n++;
  return n < cap ? n : -1;
}

int SjisToUniAt(char16_t* dst, int cap, int pos, const char* src) {
  const LeadTest isLead = SystemLeadTest();
  int count = 0;
  bool haveLead = false;
  unsigned lead = 0;
  for (;;) {
    unsigned char c = (unsigned char)src[count];
    if (c == 0) break;
    if (++count >= kCountLimit) break;  // the byte just taken is dropped
    char16_t out[2];
    int n;
    if (haveLead) {
      haveLead = false;
      uint32_t cp = sjis2uni(lead * 256 + c);
      if (cp == 0) {
        out[0] = u'?';
        n = 1;
      } else if (cp > 0xFFFF) {
        cp -= 0x10000;
        out[0] = (char16_t)(0xD800 + (cp >> 10));
        out[1] = (char16_t)(0xDC00 + (cp & 0x3FF));
        n = 2;
      } else {
        out[0] = (char16_t)cp;
        n = 1;
      }
    } else if (isLead(c)) {
      haveLead = true;
      lead = c;
      continue;
    } else {
      out[0] = (char16_t)c;
      n = 1;
    }
    if (pos + n >= cap) break;  // does not fit with the terminator
    for (int i = 0; i < n; i++) dst[pos++] = out[i];
  }
  dst[pos] = 0;
  return count;
}

// One step of UTF-8 decoding as the two UTF-8 readers share it. Reads the
// sequence at s[*i]; sets *len (1 to 4) and *cp for a whole sequence and
// returns 1; returns 0 at the terminator; returns -1 for an invalid sequence,
// having moved *i past the bytes taken (not past a terminator).
int Utf8Next(const unsigned char* s, int* i, int* len, uint32_t* cp) {
  unsigned char c = s[*i];
  if (c == 0) return 0;
  (*i)++;
  int need;
  uint32_t v;
  if (c < 0x80) {
    *len = 1;
    *cp = c;
    return 1;
  } else if (c >= 0xC0 && c <= 0xDF) {
    need = 1;
    v = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    need = 2;
    v = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF7) {
    need = 3;
    v = c & 0x07;
  } else {
    return -1;  // 0x80-0xBF or 0xF8-0xFF in lead position
  }
  for (int k = 0; k < need; k++) {
    unsigned char t = s[*i];
    if (t == 0) return -1;  // cut off by the terminator
    (*i)++;
    if (t < 0x80 || t > 0xBF) return -1;  // the offending byte is dropped too
    v = (v << 6) | (t & 0x3F);
  }
  *len = need + 1;
  *cp = v;
  return 1;
}

}  // namespace

uint32_t sjis2uni(uint32_t code) {
  if (code <= 0x00FF) return kSjisToUni[code];
  if (code >= 0x8000 && code <= 0x9FFF) return kSjisToUni[256 + (code - 0x8000)];
  if (code >= 0xE000 && code <= 0xFCFF) return kSjisToUni[256 + 8192 + (code - 0xE000)];
  return 0;
}

uint16_t uni2sjis(uint32_t unit) {
  if (unit <= 0x04FF) return kUniToSjis[unit];
  if (unit >= 0x1E00 && unit <= 0x9FFF) return kUniToSjis[1280 + (unit - 0x1E00)];
  if (unit >= 0xF900 && unit <= 0xFFFF) return kUniToSjis[1280 + 33280 + (unit - 0xF900)];
  return 0;
}


int sjistouni(char16_t* dst, int dstcap, const char* src) {
  if (dstcap < 1) return 0;
  return SjisToUniAt(dst, dstcap, 0, src);
}

int sjiscatuni(char16_t* dst, int dstcap, const char* src) {
  int end = FindEnd(dst, dstcap, kCountLimit);
  if (end < 0) return 0;
  return SjisToUniAt(dst, dstcap, end, src);
}

// The self-test of the UTF-16 -> Shift-JIS walk.
static uint16_t UniToSjisChecked(char16_t u) {
  uint16_t code = uni2sjis(u);
  if (u == 0x2661 && code != 0x83BB)
    DiagPrint("Assert fail converting unich0x2661 => sjisch0x83BB (%04X). \n", code);
  return code;
}

// Units below 0x100 are written as bytes of the same value where the text
// keeps a path's bytes (lookup false), and looked up like every other unit
// from 0x80 on where it is shown to a person (lookup true).
static int UniToSjis(char* dst, int dstcap, const char16_t* src, bool lookup) {
  if (dstcap < 1) return 0;
  int count = 0, pos = 0;
  for (;;) {
    char16_t u = src[count];
    if (u == 0) break;
    if (++count >= kCountLimit) break;
    char out[2];
    int n;
    if (u < (lookup ? 0x80 : 0x100)) {
      out[0] = (char)u;
      n = 1;
    } else {
      uint16_t code = UniToSjisChecked(u);
      if (code == 0) {
        out[0] = '?';
        n = 1;
      } else if (code >= 0x100) {
        out[0] = (char)(code >> 8);
        out[1] = (char)(code & 0xFF);
        n = 2;
      } else {
        out[0] = (char)code;
        n = 1;
      }
    }
    if (pos + n >= dstcap) break;
    for (int i = 0; i < n; i++) dst[pos++] = out[i];
  }
  dst[pos] = 0;
  return count;
}

int unitosjis(char* dst, int dstcap, const char16_t* src) {
  return UniToSjis(dst, dstcap, src, false);
}

int unitosjisshown(char* dst, int dstcap, const char16_t* src) {
  return UniToSjis(dst, dstcap, src, true);
}

int unichksjis(const char16_t* src) {
  for (int count = 0;;) {
    char16_t u = src[count];
    if (u == 0) break;
    if (++count >= kCountLimit) break;
    if (u >= 0x100 && UniToSjisChecked(u) == 0) return -1;
  }
  return 0;
}

// Walks UTF-8 text: each well-formed sequence goes to emit(code point,
// sequence length), which returns false to stop. The first invalid sequence
// turns the status from 7 to 0 and is skipped; the second stops the walk.
template <typename Emit>
static int Utf8Walk(const char* src, Emit emit) {
  const unsigned char* s = (const unsigned char*)src;
  int status = 7, invalid = 0, i = 0;
  for (;;) {
    if (s[i] != 0 && s[i] < 0x80) {  // ASCII, as Utf8Next takes it
      const uint32_t c = s[i++];
      if (!emit(c, 1)) break;
      continue;
    }
    int len;
    uint32_t cp;
    int r = Utf8Next(s, &i, &len, &cp);
    if (r == 0) break;
    if (r < 0) {
      status = 0;
      if (++invalid >= 2) break;
      continue;
    }
    if (!emit(cp, len)) break;
  }
  return status;
}

int utf8touni(char16_t* dst, int dstcap, const char* src) {
  if (dstcap < 1) return 7;
  int pos = 0;
  int status = Utf8Walk(src, [&](uint32_t cp, int) {
    char16_t out[7];
    int n;
    if (cp < 0x10000) {
      out[0] = (char16_t)cp;
      n = 1;
    } else {
      // No surrogate pair: 'x' and the code point as six hexadecimal digits.
      static const char kHex[] = "0123456789ABCDEF";
      out[0] = u'x';
      for (int k = 0; k < 6; k++) out[1 + k] = (char16_t)kHex[(cp >> (20 - 4 * k)) & 0xF];
      n = 7;
    }
    if (pos + n >= dstcap) return false;
    for (int k = 0; k < n; k++) dst[pos++] = out[k];
    return true;
  });
  dst[pos] = 0;
  if (pos + 1 < dstcap) dst[pos + 1] = 0;
  return status;
}

int unitoutf8(char* dst, int dstcap, const char16_t* src) {
  if (dstcap < 1) return 0;
  int units = 0, pos = 0;
  for (;;) {
    uint32_t u = src[units];
    if (u == 0) break;
    int taken = 1;
    uint32_t cp = u;
    bool end = false;
    if (u >= 0xD800 && u <= 0xDBFF) {
      uint32_t low = src[units + 1];
      if (low == 0) {
        cp = '?';
        end = true;
      } else {
        taken = 2;
        cp = (low >= 0xDC00 && low <= 0xDFFF) ? 0x10000 + ((u & 0x3FF) << 10) + (low & 0x3FF) : '?';
      }
    }
    units += taken;
    int n = Utf8Length(cp);
    if (pos + n >= dstcap) break;
    PutUtf8(dst + pos, cp);
    pos += n;
    if (end) break;
  }
  dst[pos] = 0;
  return units * 2;
}

int utf8tosjis(char* dst, int dstcap, const char* src) {
  if (dstcap < 1) return 7;
  int pos = 0;
  int status = Utf8Walk(src, [&](uint32_t cp, int len) {
    uint32_t code;
    if (len == 1) {
      code = cp;
    } else if (len == 2) {
      code = uni2sjis(cp);
    } else if (len == 3) {
      code = WinUniToSjis(cp);
      if (code == 0) code = uni2sjis(cp);
    } else {
      code = 0;  // above U+FFFF: nothing
    }
    if (code == 0) return true;  // no mapping: dropped
    int n = code >= 0x100 ? 2 : 1;
    if (pos + n >= dstcap) return false;
    if (n == 2) dst[pos++] = (char)(code >> 8);
    dst[pos++] = (char)(code & 0xFF);
    return true;
  });
  dst[pos] = 0;
  return status;
}

bool sjiscodemapped(uint32_t code) {
  return ((code >> 8) <= 0x9F && WinSjisToUni(code) != 0) || sjis2uni(code) != 0;
}

int sjistoutf8(char* dst, int dstcap, const char* src) {
  if (dstcap < 1) return 7;
  const unsigned char* s = (const unsigned char*)src;
  const size_t length = strlen(src);  // bytes i..length-1 may be read in blocks
  int status = 7, i = 0, pos = 0;
  for (;;) {
    // A run of ASCII: each byte as it is, as far as the room goes; eight
    // bytes at a time while they lie before the terminator.
    const int room = dstcap - 1 - pos;
    int k = 0;
    while (k + 8 <= room && (size_t)(i + k) + 8 <= length) {
      uint64_t w;
      memcpy(&w, s + i + k, 8);
      if (w & 0x8080808080808080u) break;
      memcpy(dst + pos + k, &w, 8);
      k += 8;
    }
    while (k < room && s[i + k] != 0 && s[i + k] < 0x80) {
      dst[pos + k] = (char)s[i + k];
      k++;
    }
    i += k;
    pos += k;
    unsigned c = s[i];
    if (c == 0) break;
    i++;
    uint32_t cp = 0;
    if (c < 0x80) {
      break;  // no room left for it
    } else if (c == 0x80 || (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
      unsigned t = s[i];
      if (t == 0) {
        status &= 3;  // a lead byte cut off by the end of the text
        break;
      }
      i++;
      uint32_t code = c * 256 + t;
      if (c == 0x80) {
        status &= 2;
      } else if (c <= 0x9F) {
        cp = WinSjisToUni(code);
      } else {
        status |= 8;
      }
      if (cp == 0) cp = sjis2uni(code);
      if (cp == 0) DiagPrint("<<<uni%06X:sjis%06X>>>", 0u, code);
      if (c != 0x80 && t < 0x40) {
        DiagPrint("[%02X %02X(x)](2nd byte==0x00-3F) ", c, t);
        status &= 1;
      }
      if (cp == 0) continue;  // no mapping: nothing written
    } else if (c >= 0xA0 && c <= 0xDF) {
      cp = sjis2uni(c);
      if (cp == 0) cp = c;
    } else {
      status |= 8;  // 0xFD-0xFF
      continue;
    }
    int n = Utf8Length(cp);
    if (pos + n >= dstcap) break;
    PutUtf8(dst + pos, cp);
    pos += n;
  }
  dst[pos] = 0;
  return (int)(signed char)status;
}

int sjiscatutf8(char* dst, int dstcap, const char* src) {
  int n = 0;
  while (n < kCatUtf8Limit && n < dstcap && dst[n] != 0) n++;
  if (n >= kCatUtf8Limit || n >= dstcap) return -1;
  return sjistoutf8(dst + n, dstcap - n, src);
}

int unilen(const char16_t* s) {
  int n = 0;
  while (n < kUnilenLimit && s[n] != 0) n++;
  return n;
}

int unicpy(char16_t* dst, int dstcap, const char16_t* src) {
  if (dstcap < 1) return 0;
  int n = 0;
  while (src[n] != 0 && n + 1 < dstcap) {
    dst[n] = src[n];
    n++;
  }
  dst[n] = 0;
  return n;
}

int unicat(char16_t* dst, int dstcap, const char16_t* src) {
  int end = FindEnd(dst, dstcap, dstcap);
  if (end < 0) return 0;
  return unicpy(dst + end, dstcap - end, src);
}

int narrowtouni(char16_t* dst, int dstcap, const char* src) {
  if (PortAnsiCodePage() == 65001) return utf8touni(dst, dstcap, src);
  return sjistouni(dst, dstcap, src);
}

int unitonarrow(char* dst, int dstcap, const char16_t* src) {
  if (PortAnsiCodePage() == 65001) return unitoutf8(dst, dstcap, src);
  return unitosjis(dst, dstcap, src);
}
