#include "analysis/findings.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "analysis/file_report.h"
#include "analysis/report_buffer.h"
#include "vmd/rotation.h"
#include "base/numtext.h"
#include "base/sjis_text.h"
#include "names/alias.h"
#include "names/nametable.h"
#include "vmd/vmdread.h"

Findings gFind;

namespace {

enum Text {
  kUpper2Full, kUpper2Half,
  kLLegPlus, kLArmPlus, kRLegPlus, kRArmPlus,
  kLLegD, kLKneeD, kLAnkleD, kRLegD, kRKneeD, kRAnkleD,
  kLArmD, kLElbowD, kRArmD, kRElbowD,
  kUpper3, kLLegIkParentFull, kRLegIkParentFull,
  kLLegIkParent, kRLegIkParent,
  kLShoulderP, kRShoulderP,
  kLowerBody, kWaist,
  kLToeEx, kRToeEx,
  kLShoulderPlus, kLElbowPlus, kRShoulderPlus, kRElbowPlus,
  kCenterParent, kCenterAux,
  kLArmIk, kRArmIk,
  kLThumb0Space,
  kBonesHeading, kMorphsHeading,
  kTextCount
};

const char* const kTextUtf8[kTextCount] = {
  "上半身２", "上半身2",
  "左足_+", "左腕_+", "右足_+", "右腕_+",
  "左足D", "左ひざD", "左足首D", "右足D", "右ひざD", "右足首D",
  "左腕D", "左ひじD", "右腕D", "右ひじD",
  "上半身3", "左足ＩＫ親", "右足ＩＫ親",
  "左足IK親", "右足IK親",
  "左肩P", "右肩P",
  "下半身", "腰",
  "左足先EX", "右足先EX",
  "左肩_+", "左ひじ_+", "右肩_+", "右ひじ_+",
  "センター親", "センター補助",
  "左腕ＩＫ", "右腕ＩＫ",
  "左親指０ ",  // with its trailing space
  "使用ボーン: ", "使用モーフ(表情): ",
};

SjisTexts<kTextCount, 32> T = {kTextUtf8, {}, false};

const int kPlusBones[4] = {kLLegPlus, kLArmPlus, kRLegPlus, kRArmPlus};
const int kLegDBones[6] = {kLLegD, kLKneeD, kLAnkleD, kRLegD, kRKneeD, kRAnkleD};
const int kArmDBones[4] = {kLArmD, kLElbowD, kRArmD, kRElbowD};
const int kUpper3Bones[3] = {kUpper3, kLLegIkParentFull, kRLegIkParentFull};
const int kIkParents[2] = {kLLegIkParent, kRLegIkParent};
const int kShoulderPs[2] = {kLShoulderP, kRShoulderP};

// Colours as red, green, blue.
struct Rgb { int r, g, b; };
const Rgb kWhite = {255, 255, 255};
const Rgb kRed = {255, 0, 0};
const Rgb kOrange = {255, 80, 0};
const Rgb kAmber = {255, 120, 0};
const Rgb kYellow = {255, 240, 0};
const Rgb kPale = {250, 250, 150};

// The track of a bone entry, or null when the entry has none.
const BoneTrack* BoneAt(int entry) {
  return (entry > 0 && entry < kBoneTracks) ? &gBoneTracks[entry] : nullptr;
}

const BoneTrack* FindBone(int text) { return BoneAt(FindNameInGroups(1, T[text], 0)); }

bool Driven(const BoneTrack* t) { return t && t->keycount >= 1 && t->moved == 0xFF; }

bool Twisted(const BoneTrack* t) { return t->maxtwsminus > 0.01 || t->maxtwsplus > 0.01; }

bool Is(const char* name, int text) { return strcmp(name, T[text]) == 0; }

// The twist bones are the reader's first four measured bones, the arm and
// elbow bones its next four.
const char* TwistBone(int i) { return TwistMeasuredBone(i); }
const char* ArmBone(int i) { return TwistMeasuredBone(4 + i); }

// Index among the four twist (or arm) bones, or -1.
int TwistIndex(const char* name) {
  for (int i = 0; i < 4; i++)
    if (!strcmp(name, TwistBone(i))) return i;
  return -1;
}
int ArmIndex(const char* name) {
  for (int i = 0; i < 4; i++)
    if (!strcmp(name, ArmBone(i))) return i;
  return -1;
}

// Records a finding of a bone of the vocabulary as findbones decides it.
void Found(int code, const char* text, int severity, bool variant = false) {
  RecordBoneFinding(code, severity, FindNameInGroups(1, text, 0), text, variant);
}
void Found(int code, const char* text) { Found(code, text, FindingSeverity(code)); }

bool IsOneOf(const char* name, const int* texts, int n) {
  for (int i = 0; i < n; i++)
    if (Is(name, texts[i])) return true;
  return false;
}

// Index of name among texts, or -1.
int IndexIn(const char* name, const int* texts, int n) {
  for (int i = 0; i < n; i++)
    if (Is(name, texts[i])) return i;
  return -1;
}

bool BeginsWith(const char* name, int text) {
  const char* p = T[text];
  return strncmp(name, p, strlen(p)) == 0;
}

// The name as the report shows it: the entry text, or its alias rendering.
void DisplayName(char* dst, const char* text, bool alias, bool morph) {
  if (alias) {
    dst[0] = 0;
    if (morph)
      AliasRenderMorph(dst, text);
    else
      AliasRenderBone(dst, text);
    dst[kAliasRenderMax - 1] = 0;
  } else {
    const size_t n = strnlen(text, kAliasRenderMax - 1);  // as snprintf "%s" would cut it
    memcpy(dst, text, n);
    dst[n] = 0;
  }
}

void PutSpaces(int n) {
  static const char kSpaces[] = "                                ";  // 32
  while (n > 0) {
    int k = n < 32 ? n : 32;
    rbputs(kSpaces + (32 - k));
    n -= k;
  }
}

Rgb FullLineColour(const char* name) {
  static const int kPlus[8] = {kLLegPlus, kLShoulderPlus, kLArmPlus, kLElbowPlus,
                               kRLegPlus, kRShoulderPlus, kRArmPlus, kRElbowPlus};
  static const int kIkFull[2] = {kLLegIkParentFull, kRLegIkParentFull};
  static const int kToeEx[2] = {kLToeEx, kRToeEx};
  static const int kArmIk[2] = {kLArmIk, kRArmIk};

  if (TwistIndex(name) >= 0) return kRed;
  if (Is(name, kUpper2Full) && gFind.upper2state == -1) return kRed;
  if (IsOneOf(name, kIkFull, 2)) return kRed;
  if (IsOneOf(name, kToeEx, 2)) return kWhite;
  if (IsOneOf(name, kPlus, 8)) return kRed;
  if (IsOneOf(name, kArmDBones, 4)) return kOrange;
  if (IsOneOf(name, kLegDBones, 6)) return kOrange;
  if (Is(name, kUpper3)) return kAmber;
  if (BeginsWith(name, kCenterParent) || BeginsWith(name, kCenterAux)) return kAmber;
  const int side = IndexIn(name, kIkParents, 2);
  if (side >= 0) {
    if (gFind.ikparents & IkParentBit(kIkLarge, side)) return kYellow;
    if (gFind.ikparents & (IkParentBit(kIkMedium, side) | IkParentBit(kIkSmall, side)))
      return kPale;
    return kWhite;
  }
  if (IsOneOf(name, kShoulderPs, 2)) return kAmber;
  if (Is(name, kLowerBody)) {
    if (gFind.lowerbodystate == -1) return kYellow;
    if (gFind.lowerbodystate == 3) return kPale;
    return kWhite;
  }
  if (Is(name, kWaist)) return kYellow;
  int arm = ArmIndex(name);
  if (arm >= 0) {
    if (gFind.armrough & (1u << arm)) return kYellow;
    if (gFind.armslight & (1u << arm)) return kPale;
    return kWhite;
  }
  if (IsOneOf(name, kArmIk, 2)) return kOrange;
  return kWhite;
}

// One line of the bone list for a bone of the vocabulary's first two groups.
uint32_t Packed(Rgb c) { return uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | uint32_t(c.b); }

void FullLine(int entry, const char* text, const char* shown, int width, const BoneTrack* t) {
  char buf[96], num[40];
  rbcolor(kWhite.r, kWhite.g, kWhite.b);
  Rgb c = FullLineColour(text);
  rbcolor(c.r, c.g, c.b);
  RecordTrackLine(1, entry, Packed(c), true);

  rbputs("  ");
  rbputs(shown);
  PutSpaces(width - (int)strlen(shown));
  // "  (%d keys) (frame %d - %d) ", without printf: every listed bone has one
  size_t len = 0;
  const auto put = [&](const char* s) {
    while (*s && len + 1 < sizeof buf) buf[len++] = *s++;
    buf[len] = 0;
  };
  const auto num10 = [&](int32_t v) {
    char d[16];
    *std::to_chars(d, d + sizeof d - 1, v).ptr = 0;
    put(d);
  };
  put("  (");
  num10(t->keycount);
  put(" keys) (frame ");
  num10(t->firstframe);
  put(" - ");
  num10(t->lastframe);
  put(") ");
  rbputs(buf);
  if (t->maxpos > 0.01) {
    FormatGeneral(num, sizeof num, (double)t->maxpos);
    // ASCII pieces in a row are the line their joined text would give
    rbputs("(|pos|=");
    rbputs(num);
    rbputs(") ");
  }
  if (TwistIndex(text) < 0 && t->maxrot > 0.01) {
    FormatFixed(num, sizeof num, amount2deg(t->maxrot), 6, 1);
    rbputs("(rot");
    rbputs(num);
    rbputs(") ");
  }
  if ((ArmIndex(text) >= 0 || TwistIndex(text) >= 0) && Twisted(t)) {
    double a = amount2deg(t->maxtwsminus);
    double b = amount2deg(t->maxtwsplus);
    FormatFixed(num, sizeof num, a < b ? b : a, 6, 1);
    rbputs("(tws");
    rbputs(num);
    rbputs(" (at ");
    len = 0;
    num10(a < b ? t->attwsplus : t->attwsminus);
    rbputs(buf);
    rbputs(")) ");
  }
  rbnewline();
}

bool MorphListed(int entry) {
  if (entry <= 0 || entry >= kMorphTracks) return false;
  const MorphTrack& m = gMorphTracks[entry];
  return m.keycount > 0 && (m.minval < 0.0 || m.maxval > 0.0);
}

}  // namespace

const char* FindingBone(int mask, int bit) {
  struct Row { const int* texts; int n; };
  static const int kUpper2[1] = {kUpper2Full};
  static const int kLower[1] = {kLowerBody};
  static const int kWaistOnly[1] = {kWaist};
  static const Row kRows[kMasks] = {
      {nullptr, 4},      {kUpper2, 1},    {kPlusBones, 4},  {kLegDBones, 6},
      {kArmDBones, 4},   {kUpper3Bones, 3}, {kIkParents, 2}, {kShoulderPs, 2},
      {nullptr, 4},      {kLower, 1},     {kWaistOnly, 1},
  };
  if (mask < 0 || mask >= kMasks || bit < 0) return nullptr;
  if (mask == kMaskIkParent) bit %= 2;
  if (mask == kMaskTwist) return bit < 4 ? TwistBone(bit) : nullptr;
  if (mask == kMaskArm) return bit < 4 ? ArmBone(bit) : nullptr;
  if (bit >= kRows[mask].n) return nullptr;
  return T[kRows[mask].texts[bit]];
}

void findbones() {
  memset(&gFind, 0, sizeof gFind);

  // Twist bones.
  for (int i = 0; i < 4; i++) {
    const BoneTrack* t = BoneAt(FindNameInGroups(1, TwistBone(i), 0));
    if (Driven(t) && Twisted(t)) {
      gFind.twistbones |= 1u << i;
      gFind.licensefactors++;
      Found(kCodeTwistBone, TwistBone(i));
    }
  }

  // The full-width upper body 2 alone is a factor; with the half-width one
  // moving as well the state ends at 1, the half-width one alone leaves 0.
  const int upper2 = FindOrAddName(1, T[kUpper2Full]);
  const BoneTrack* t = BoneAt(upper2);
  if (Driven(t) && t->maxrot > 0.01) gFind.upper2state = -1;
  t = BoneAt(FindOrAddName(1, T[kUpper2Half]));
  if (Driven(t) && t->maxrot > 0.01) gFind.upper2state = -gFind.upper2state;
  if (gFind.upper2state == -1) {
    gFind.licensefactors++;
    RecordBoneFinding(kCodeUpperBody2, FindingSeverity(kCodeUpperBody2), upper2, T[kUpper2Full]);
  }

  for (int i = 0; i < 4; i++) {
    t = FindBone(kPlusBones[i]);
    if (Driven(t) && t->maxrot > 0.01) {
      gFind.plusbones |= 1u << i;
      gFind.licensefactors++;
      Found(kCodePlusBone, T[kPlusBones[i]]);
    }
  }

  for (int i = 0; i < 6; i++) {
    t = FindBone(kLegDBones[i]);
    if (Driven(t) && t->maxrot > 0.01) {
      gFind.dlegbones |= 1u << i;
      gFind.dropfactors++;
      Found(kCodeLegD, T[kLegDBones[i]]);
    }
  }

  for (int i = 0; i < 4; i++) {
    t = FindBone(kArmDBones[i]);
    if (Driven(t) && t->maxrot > 0.01) {
      gFind.darmbones |= 1u << i;
      gFind.dropfactors++;
      Found(kCodeArmD, T[kArmDBones[i]]);
    }
  }

  // 上半身3 and the full-width leg IK parents: turning is a drop-out factor;
  // moving without turning is named (info) and counts for nothing.
  for (int i = 0; i < 3; i++) {
    t = FindBone(kUpper3Bones[i]);
    if (!Driven(t)) continue;
    const int code = i == 0 ? kCodeUpperBody3 : kCodeIkParentFullWidth;
    if (t->maxrot > 0.01) {
      gFind.upper3bones |= 1u << i;
      gFind.dropfactors++;
      Found(code, T[kUpper3Bones[i]]);
    } else if (t->maxpos > 0.01) {
      gFind.upper3bones |= 1u << i;
      Found(code, T[kUpper3Bones[i]], kSeverityInfo, true);
    }
  }

  for (int i = 0; i < 2; i++) {
    t = FindBone(kIkParents[i]);
    if (!Driven(t)) continue;
    double x = t->maxrot * 1.6 * 2.0;
    if (x > 0.4) {
      gFind.ikparents |= IkParentBit(kIkLarge, i);
      gFind.dropfactors++;
      Found(kCodeLegIkParent, T[kIkParents[i]]);
    } else if (x > 0.12) {
      gFind.ikparents |= IkParentBit(x > 0.25 ? kIkMedium : kIkSmall, i);
      Found(kCodeLegIkParentTurned, T[kIkParents[i]]);
    }
  }

  for (int i = 0; i < 2; i++) {
    t = FindBone(kShoulderPs[i]);
    if (Driven(t) && t->maxrot > 0.01) {
      gFind.shoulderp |= 1u << i;
      gFind.dropfactors++;
      Found(kCodeShoulderP, T[kShoulderPs[i]]);
    }
  }

  // Arm and elbow twists: 145 degrees or more is slight, 160 or more rough.
  for (int i = 0; i < 4; i++) {
    t = BoneAt(FindNameInGroups(1, ArmBone(i), 0));
    if (!Driven(t) || !Twisted(t)) continue;
    double a = amount2deg(t->maxtwsminus);
    double b = amount2deg(t->maxtwsplus);
    double tw = a < b ? b : a;
    if (tw >= 145.0) {
      if (tw < 160.0) {
        gFind.armslight |= 1u << i;
        gFind.slightbones++;
        Found(kCodeArmTwistSlight, ArmBone(i));
      } else {
        gFind.armrough |= 1u << i;
        gFind.roughbones++;
        Found(kCodeArmTwistRough, ArmBone(i));
      }
    }
  }

  t = FindBone(kLowerBody);
  if (Driven(t) && t->maxrot > 0.01) {
    gFind.roughbones++;
    if (t->maxpos > 0.01)
      gFind.lowerbodystate = -1;
    else if (t->maxrot >= sin(0.3054326236111111))  // 35 degrees or more
      gFind.lowerbodystate = -1;
    else if (t->maxrot >= sin(0.13089969583333333))  // 15 degrees or more
      gFind.lowerbodystate = 3;
    else
      gFind.lowerbodystate = 1;
    Found(kCodeLowerBody, T[kLowerBody]);
  }
  t = FindBone(kWaist);
  if (Driven(t) && t->maxrot > 0.01) {
    gFind.roughbones++;
    gFind.waiststate = -1;
    Found(kCodeWaist, T[kWaist]);
  }
}

void listbones() {
  const bool alias = AliasMode();
  static char text[kNameSlot];
  static char shown[kAliasRenderMax];
  static char piece[kAliasRenderMax + 8];
  const int count = NameCount(1);

  int width = 0;
  for (int e = 1; e <= count; e++) {
    if (GroupOfName(1, e) != 1 || !Driven(BoneAt(e))) continue;
    if (GetName(1, text, e) != 0) continue;
    DisplayName(shown, text, alias, false);
    int n = (int)strlen(shown);
    if (n > width) width = n;
  }

  rbcolor(kWhite.r, kWhite.g, kWhite.b);
  rbnewline();
  rbputs(alias ? "Bones: " : T[kBonesHeading]);
  rbnewline();

  int group = 0;
  bool listed = false;    // something listed since the last group change
  bool pending = false;   // a compact line waits to be finished
  int compactLength = 0;  // bytes of that line
  for (int e = 1; e <= count; e++) {
    if (GetName(1, text, e) != 0) continue;
    int g = GroupOfName(1, e);
    const BoneTrack* t = BoneAt(e);
    bool driven = Driven(t);
    if (g == 3) continue;
    // A bone of the first two groups keeps the colour of its full line,
    // whether or not it gets one (worked out only for a bone with a track).
    if ((g == 1 || g == 2) && !(driven && (g == 1 || t->maxpos > 0.05)) && TrackRecorded(1, e))
      RecordTrackLine(1, e, Packed(FullLineColour(text)), false);
    if (g == 2 && !(driven && t->maxpos > 0.05)) continue;

    if (g != group) {
      group = g;
      if (g > 2 && listed) {
        rbputs("     ");
        rbnewline();
      }
      listed = false;
    }

    if (g == 1 || g == 2) {
      if (driven) {
        DisplayName(shown, text, alias, false);
        FullLine(e, text, shown, width, t);
        listed = true;
      }
    } else if (t && (t->maxpos > 0.01 || t->maxrot > 0.01)) {
      // Bones the vocabulary does not name: several to a line.
      DisplayName(shown, text, alias, false);
      CutLoneLead(shown);
      if (Is(text, kLThumb0Space))
        snprintf(piece, sizeof piece, "  \"%s\"", shown);
      else
        snprintf(piece, sizeof piece, "  %s", shown);
      rbcolor(kWhite.r, kWhite.g, kWhite.b);
      if ((int)strlen(text) + compactLength + 2 > 79) {
        rbnewline();
        compactLength = 0;
      }
      rbputs(piece);
      compactLength += (int)strlen(piece);
      pending = true;
      RecordTrackLine(1, e, Packed(kWhite), true);
    }
  }

  if (pending) rbnewline();
  if (listed) rbnewline();
  rbcolor(kWhite.r, kWhite.g, kWhite.b);
  rbnewline();
}

void listmorphs() {
  const bool alias = AliasMode();
  static char text[kNameSlot];
  static char shown[kAliasRenderMax];
  char buf[160];
  const int count = NameCount(2);

  int width = 0;
  for (int e = 1; e <= count; e++) {
    if (GroupOfName(2, e) != 1 || !MorphListed(e)) continue;
    if (GetName(2, text, e) != 0) continue;
    DisplayName(shown, text, alias, true);
    int n = (int)strlen(shown);
    if (n > width) width = n;
  }

  rbputs(alias ? "Morphing (Expression): " : T[kMorphsHeading]);
  rbnewline();

  int group = 0;
  for (int e = 1; e <= count; e++) {
    int g = GroupOfName(2, e);
    if (g == 2) continue;
    if (g != group && g > 1) {
      rbputs("     ");
      rbnewline();
    }
    group = g;
    if (!MorphListed(e) || GetName(2, text, e) != 0) continue;

    RecordTrackLine(2, e, Packed(kWhite), true);
    DisplayName(shown, text, alias, true);
    int n = (int)strlen(shown);
    // Three names of one double-byte character are shown as another
    // character between spaces; the padding still counts the name itself.
    const unsigned char* u = (const unsigned char*)text;
    const char* look = nullptr;
    if (u[0] && u[1] && !u[2]) {
      if (u[0] == 0x81 && u[1] == 0xBF) look = "  \x83\xAE ";       // ∩ as Π
      else if (u[0] == 0x81 && u[1] == 0xC8) look = "  \x83\xA9 ";  // ∧ as Λ
      else if (u[0] == 0x83 && u[1] == 0xD6) look = "  \x83\xD6 ";  // ω
    }
    rbcolor(kWhite.r, kWhite.g, kWhite.b);
    rbputs("  ");
    rbputs(look ? look : shown);
    PutSpaces(width - n);
    const MorphTrack& m = gMorphTracks[e];
    char lo[40], hi[40];
    FormatGeneral(lo, sizeof lo, (double)m.minval);
    FormatGeneral(hi, sizeof hi, (double)m.maxval);
    snprintf(buf, sizeof buf, "  (%d keys) (frame %d - %d) (val %s - %s) \n", m.keycount,
             m.firstframe, m.lastframe, lo, hi);
    rbputs(buf);
    rbnewline();
  }

  rbnewline();
  rbnewline();
  rbnewline();
}
