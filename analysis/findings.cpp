#include "analysis/findings.h"

#include <cmath>
#include <cstdio>
#include <cstring>

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
  kLArmTwist, kLHandTwist, kRArmTwist, kRHandTwist,
  kUpper2Full, kUpper2Half,
  kLLegPlus, kLArmPlus, kRLegPlus, kRArmPlus,
  kLLegD, kLKneeD, kLAnkleD, kRLegD, kRKneeD, kRAnkleD,
  kLArmD, kLElbowD, kRArmD, kRElbowD,
  kUpper3, kLLegIkParentFull, kRLegIkParentFull,
  kLLegIkParent, kRLegIkParent,
  kLShoulderP, kRShoulderP,
  kLArm, kLElbow, kRArm, kRElbow,
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
  "左腕捩", "左手捩", "右腕捩", "右手捩",
  "上半身２", "上半身2",
  "左足_+", "左腕_+", "右足_+", "右腕_+",
  "左足D", "左ひざD", "左足首D", "右足D", "右ひざD", "右足首D",
  "左腕D", "左ひじD", "右腕D", "右ひじD",
  "上半身3", "左足ＩＫ親", "右足ＩＫ親",
  "左足IK親", "右足IK親",
  "左肩P", "右肩P",
  "左腕", "左ひじ", "右腕", "右ひじ",
  "下半身", "腰",
  "左足先EX", "右足先EX",
  "左肩_+", "左ひじ_+", "右肩_+", "右ひじ_+",
  "センター親", "センター補助",
  "左腕ＩＫ", "右腕ＩＫ",
  "左親指０ ",  // with its trailing space
  "使用ボーン: ", "使用モーフ(表情): ",
};

SjisTexts<kTextCount, 32> T = {kTextUtf8, {}, false};

const int kTwistBones[4] = {kLArmTwist, kLHandTwist, kRArmTwist, kRHandTwist};
const int kArmBones[4] = {kLArm, kLElbow, kRArm, kRElbow};
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
    snprintf(dst, kAliasRenderMax, "%s", text);
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

  if (IsOneOf(name, kTwistBones, 4)) return kRed;
  if (Is(name, kUpper2Full) && gFind.upper2state == -1) return kRed;
  if (IsOneOf(name, kIkFull, 2)) return kRed;
  if (IsOneOf(name, kToeEx, 2)) return kWhite;
  if (IsOneOf(name, kPlus, 8)) return kRed;
  if (IsOneOf(name, kArmDBones, 4)) return kOrange;
  if (IsOneOf(name, kLegDBones, 6)) return kOrange;
  if (Is(name, kUpper3)) return kAmber;
  if (BeginsWith(name, kCenterParent) || BeginsWith(name, kCenterAux)) return kAmber;
  if (Is(name, kLLegIkParent)) {
    if (gFind.ikparents & 0x10) return kYellow;
    if (gFind.ikparents & (4 | 1)) return kPale;
    return kWhite;
  }
  if (Is(name, kRLegIkParent)) {
    if (gFind.ikparents & 0x20) return kYellow;
    if (gFind.ikparents & (8 | 2)) return kPale;
    return kWhite;
  }
  if (IsOneOf(name, kShoulderPs, 2)) return kAmber;
  if (Is(name, kLowerBody)) {
    if (gFind.lowerbodystate == -1) return kYellow;
    if (gFind.lowerbodystate == 3) return kPale;
    return kWhite;
  }
  if (Is(name, kWaist)) return kYellow;
  int arm = IndexIn(name, kArmBones, 4);
  if (arm >= 0) {
    if (gFind.armrough & (1u << arm)) return kYellow;
    if (gFind.armslight & (1u << arm)) return kPale;
    return kWhite;
  }
  if (IsOneOf(name, kArmIk, 2)) return kOrange;
  return kWhite;
}

// One line of the bone list for a bone of the vocabulary's first two groups.
void FullLine(const char* text, const char* shown, int width, const BoneTrack* t) {
  char buf[96], num[40];
  rbcolor(kWhite.r, kWhite.g, kWhite.b);
  Rgb c = FullLineColour(text);
  rbcolor(c.r, c.g, c.b);

  rbputs("  ");
  rbputs(shown);
  PutSpaces(width - (int)strlen(shown));
  snprintf(buf, sizeof buf, "  (%d keys) (frame %d - %d) ", t->keycount, t->firstframe,
           t->lastframe);
  rbputs(buf);
  if (t->maxpos > 0.01) {
    FormatGeneral(num, sizeof num, (double)t->maxpos);
    snprintf(buf, sizeof buf, "(|pos|=%s) ", num);
    rbputs(buf);
  }
  if (!IsOneOf(text, kTwistBones, 4) && t->maxrot > 0.01) {
    FormatFixed(num, sizeof num, amount2deg(t->maxrot), 6, 1);
    snprintf(buf, sizeof buf, "(rot%s) ", num);
    rbputs(buf);
  }
  if ((IsOneOf(text, kArmBones, 4) || IsOneOf(text, kTwistBones, 4)) && Twisted(t)) {
    double a = amount2deg(t->maxtwsminus);
    double b = amount2deg(t->maxtwsplus);
    FormatFixed(num, sizeof num, a < b ? b : a, 6, 1);
    snprintf(buf, sizeof buf, "(tws%s (at %d)) ", num, a < b ? t->attwsplus : t->attwsminus);
    rbputs(buf);
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
      {kTwistBones, 4},  {kUpper2, 1},    {kPlusBones, 4},  {kLegDBones, 6},
      {kArmDBones, 4},   {kUpper3Bones, 3}, {kIkParents, 2}, {kShoulderPs, 2},
      {kArmBones, 4},    {kLower, 1},     {kWaistOnly, 1},
  };
  if (mask < 0 || mask >= kMasks || bit < 0) return nullptr;
  if (mask == kMaskIkParent) bit %= 2;
  if (bit >= kRows[mask].n) return nullptr;
  return T[kRows[mask].texts[bit]];
}

uint32_t BoneLineColour(const char* text) {
  const Rgb c = FullLineColour(text);
  return uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | uint32_t(c.b);
}

void findbones() {
  memset(&gFind, 0, sizeof gFind);

  // Twist bones.
  for (int i = 0; i < 4; i++) {
    const BoneTrack* t = FindBone(kTwistBones[i]);
    if (Driven(t) && Twisted(t)) {
      gFind.twistbones |= 1u << i;
      gFind.licensefactors++;
    }
  }

  // The full-width upper body 2 alone is a factor; with the half-width one
  // moving as well the state ends at 1, the half-width one alone leaves 0.
  const BoneTrack* t = BoneAt(FindOrAddName(1, T[kUpper2Full]));
  if (Driven(t) && t->maxrot > 0.01) gFind.upper2state = -1;
  t = BoneAt(FindOrAddName(1, T[kUpper2Half]));
  if (Driven(t) && t->maxrot > 0.01) gFind.upper2state = -gFind.upper2state;
  if (gFind.upper2state == -1) gFind.licensefactors++;

  for (int i = 0; i < 4; i++) {
    t = FindBone(kPlusBones[i]);
    if (Driven(t) && t->maxrot > 0.01) {
      gFind.plusbones |= 1u << i;
      gFind.licensefactors++;
    }
  }

  for (int i = 0; i < 6; i++) {
    t = FindBone(kLegDBones[i]);
    if (Driven(t) && t->maxrot > 0.01) {
      gFind.dlegbones |= 1u << i;
      gFind.dropfactors++;
    }
  }

  for (int i = 0; i < 4; i++) {
    t = FindBone(kArmDBones[i]);
    if (Driven(t) && t->maxrot > 0.01) {
      gFind.darmbones |= 1u << i;
      gFind.dropfactors++;
    }
  }

  for (int i = 0; i < 3; i++) {
    t = FindBone(kUpper3Bones[i]);
    if (!Driven(t)) continue;
    if (t->maxpos > 0.01) gFind.upper3bones |= 1u << i;
    if (t->maxrot > 0.01) {
      gFind.upper3bones |= 1u << i;
      gFind.dropfactors++;
    }
  }

  // Leg IK parents: left bits 1 / 4 / 0x10, right bits 2 / 8 / 0x20.
  for (int i = 0; i < 2; i++) {
    t = FindBone(kIkParents[i]);
    if (!Driven(t)) continue;
    double x = t->maxrot * 1.6 * 2.0;
    if (x > 0.4) {
      gFind.ikparents |= 0x10u << i;
      gFind.dropfactors++;
    } else if (x > 0.25) {
      gFind.ikparents |= 4u << i;
    } else if (x > 0.12) {
      gFind.ikparents |= 1u << i;
    }
  }

  for (int i = 0; i < 2; i++) {
    t = FindBone(kShoulderPs[i]);
    if (Driven(t) && t->maxrot > 0.01) {
      gFind.shoulderp |= 1u << i;
      gFind.dropfactors++;
    }
  }

  // Arm and elbow twists: 145 degrees or more is slight, 160 or more rough.
  for (int i = 0; i < 4; i++) {
    t = FindBone(kArmBones[i]);
    if (!Driven(t) || !Twisted(t)) continue;
    double a = amount2deg(t->maxtwsminus);
    double b = amount2deg(t->maxtwsplus);
    double tw = a < b ? b : a;
    if (tw >= 145.0) {
      if (tw < 160.0) {
        gFind.armslight |= 1u << i;
        gFind.slightbones++;
      } else {
        gFind.armrough |= 1u << i;
        gFind.roughbones++;
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
  }
  t = FindBone(kWaist);
  if (Driven(t) && t->maxrot > 0.01) {
    gFind.roughbones++;
    gFind.waiststate = -1;
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
        FullLine(text, shown, width, t);
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
