#include "analysis/verdict.h"

#include <cstdio>
#include <cstring>

#include "analysis/file_report.h"
#include "analysis/findings.h"
#include "analysis/read_status.h"
#include "analysis/report_buffer.h"
#include "base/sjis_text.h"
#include "base/diag.h"
#include "base/encoding.h"
#include "base/runenv.h"
#include "names/alias.h"
#include "vmd/vmdread.h"

namespace {

enum Text {
  kModelJa, kTargetJa,
  // needs fixing
  kLHead, kLReason, kUsed,
  // check needed
  kDHeadConvert, kDHeadEdit, kDReason,
  // somewhat rough
  kRHead, kRAdvice, kRReasonHead, kRTwist, kUsedBreak, kCannotReduce,
  // slightly rough
  kSHead, kSAdvice, kSReasonHead, kSTwist,
  kOk,
  // diagnostics
  kDiagHead, kDiagL, kDiagD, kDiagR, kDiagS, kDiagCount, kDiagBones, kDiagOk,
  kTextCount
};

const char* const kTextUtf8[kTextCount] = {
  "元モデル名: ", "想定使用先: VRMモデル (Lumeno 3.10-3.13) ",
  "(要修正): MMD での手修正またはツール等での変換が必須です. \r\n",
  "\r\n  理由: このまま使用するとボーン抜けが発生します. \r\n  --\r\n  ",
  "が使用されています. ",
  "(確認要): ReadMe 中で「必要」と記載されていれば、MMD での手修正またはツール等での変換が必須です. \r\n",
  "(確認要): ReadMe 中で「必要」と記載されていれば、MMD での手編集／手修正が必須です. \r\n",
  "\r\n  理由: そのままでは再現できないボーンの動きが含まれます. \r\n  --\r\n  ",
  "(やや荒れ): やや荒れる／ややズレると予測. \r\n\r\n  未変換なら、変換／修正によって軽減できる場合が多く、 ",
  "\r\n  変換をお奨めします. ",
  "\r\n  --\r\n  理由: \r\n  ",
  "にやや強い捩りがあります. \r\n  ", "が使用されています. \r\n  ",
  "\r\n    (変換してもこれ以上軽減できない場合もあります) ",
  "(少し荒れ): 少し荒れる／少しズレると予測. \r\n\r\n  そのままで使用可能ですが、 ",
  "\r\n  未変換なら、変換／修正によって軽減できる場合があります. \r\n  --",
  "\r\n  理由: ",
  "に荒れが生じうる捩りがあります. \r\n  ",
  "(OK): そのままで使用可能です. ",
  "総評: \n",
  "ライセンス違反発生の可能性のある要因 ", "ボーン抜け発生要因 ",
  "やや荒れる／ややズレると予測 (", "少し荒れる／少しズレると予測 (",
  "個: \n", "ボーン): \n",
  "そのままで使用可能です. \n",
};

SjisTexts<kTextCount, 160> T = {kTextUtf8, {}, false};

const char kBreak[] = "\r\n  ";

// A piece of the verdict, assembled before it is added.
struct Piece {
  char text[1024];
  int length;
};

void PieceClear(Piece* p) {
  p->text[0] = 0;
  p->length = 0;
}

// Appends whole characters while they fit.
int AppendSjis(char* dst, int cap, int length, const char* s) {
  const unsigned char* u = (const unsigned char*)s;
  int i = 0;
  while (u[i]) {
    int n = (issjislead(u[i]) && u[i + 1]) ? 2 : 1;
    if (length + n > cap - 1) break;
    for (int k = 0; k < n; k++) dst[length++] = (char)u[i++];
  }
  dst[length] = 0;
  return length;
}

void PieceAdd(Piece* p, const char* s) {
  p->length = AppendSjis(p->text, (int)sizeof p->text, p->length, s);
}

// "[name] " for each bit of the mask, the names those of the findings.
void PieceAddBones(Piece* p, uint32_t mask, int which, int n) {
  for (int i = 0; i < n; i++) {
    if (!(mask & (1u << i))) continue;
    PieceAdd(p, "[");
    PieceAdd(p, FindingBone(which, i));
    PieceAdd(p, "] ");
  }
}

int gBoxLength = 0;

// Adds to both verdict texts; the UTF-16 one gets the piece converted. The
// pieces are the program's own Shift-JIS whatever the system's narrow code
// page, so they are read by Shift-JIS lead bytes (through UTF-8), not by the
// system's lead-byte test, which takes no byte as a lead byte in code page
// 1252 and would widen each byte to a Latin letter.
void Add(const char* s) {
  char* boxtext = gFileReport.boxtext;
  char16_t* boxtextw = gFileReport.boxtextw;
  gBoxLength = AppendSjis(boxtext, kBoxText, gBoxLength, s);
  static char utf8[sizeof(Piece::text) * 3 + 1];
  static char16_t wide[sizeof(Piece::text) + 1];
  sjistoutf8(utf8, (int)sizeof utf8, s);
  utf8touni(wide, (int)(sizeof wide / sizeof wide[0]), utf8);
  unicat(boxtextw, kBoxText, wide);
}

// The diagnostic copy of a reason: its lines end with "\n" alone.
void DiagReasons(const char* s) {
  char line[1024];
  int n = 0;
  for (const char* p = s; *p && n < (int)sizeof line - 1; p++)
    if (*p != '\r') line[n++] = *p;
  line[n] = 0;
  DiagPrint("%s\n", line);
}

void DiagCount(int head, int n, int tail) { DiagPrint("%s%d%s", T[head], n, T[tail]); }

void LicenseBlock() {
  static Piece p;
  Add(T[kLHead]);
  Add(T[kLReason]);
  PieceClear(&p);
  PieceAddBones(&p, gFind.twistbones, kMaskTwist, 4);
  if (gFind.twistbones) PieceAdd(&p, kBreak);
  if (gFind.upper2state == -1) {
    PieceAdd(&p, FindingBone(kMaskUpper2, 0));
    PieceAdd(&p, "(L2) ");
    PieceAdd(&p, kBreak);
  }
  PieceAddBones(&p, gFind.plusbones, kMaskPlus, 4);
  if (gFind.plusbones) PieceAdd(&p, "(P_Bone+) \r\n  ");
  PieceAdd(&p, T[kUsed]);
  Add(p.text);
  DiagCount(kDiagL, gFind.licensefactors, kDiagCount);
  DiagReasons(p.text);
}

void DropBlock() {
  static Piece p;
  Add(gFind.dlegbones == 0 && gFind.darmbones == 0 ? T[kDHeadConvert] : T[kDHeadEdit]);
  Add(T[kDReason]);
  PieceClear(&p);
  PieceAddBones(&p, gFind.dlegbones, kMaskLegD, 6);
  if (gFind.dlegbones) PieceAdd(&p, kBreak);
  PieceAddBones(&p, gFind.darmbones, kMaskArmD, 4);
  if (gFind.darmbones) PieceAdd(&p, kBreak);
  const uint32_t large = IkParentBit(kIkLarge, 0) | IkParentBit(kIkLarge, 1);
  PieceAddBones(&p, (gFind.ikparents & large) >> (2 * kIkLarge), kMaskIkParent, 2);
  PieceAddBones(&p, gFind.shoulderp, kMaskShoulderP, 2);
  if (gFind.ikparents || gFind.shoulderp) PieceAdd(&p, kBreak);
  PieceAddBones(&p, gFind.upper3bones & 1, kMaskUpper3, 1);
  if (gFind.upper3bones) PieceAdd(&p, kBreak);
  PieceAdd(&p, T[kUsed]);
  Add(p.text);
  DiagCount(kDiagD, gFind.dropfactors, kDiagCount);
  DiagReasons(p.text);
}

void RoughBlock() {
  static Piece p;
  Add(T[kRHead]);
  Add(T[kRAdvice]);
  Add(T[kRReasonHead]);
  PieceClear(&p);
  if (gFind.armrough) {
    PieceAddBones(&p, gFind.armrough, kMaskArm, 4);
    PieceAdd(&p, T[kRTwist]);
  }
  if (gFind.lowerbodystate || gFind.waiststate) {
    PieceAddBones(&p, gFind.lowerbodystate ? 1 : 0, kMaskLowerBody, 1);
    PieceAddBones(&p, gFind.waiststate ? 1 : 0, kMaskWaist, 1);
    PieceAdd(&p, T[kUsedBreak]);
  }
  Add(p.text);
  if (gFind.armrough) Add(T[kCannotReduce]);
  DiagCount(kDiagR, gFind.roughbones, kDiagBones);
  DiagReasons(p.text);
}

void SlightBlock() {
  static Piece p;
  Add(T[kSHead]);
  Add(T[kSAdvice]);
  Add(T[kSReasonHead]);
  PieceClear(&p);
  if (gFind.armslight) {
    PieceAddBones(&p, gFind.armslight, kMaskArm, 4);
    PieceAdd(&p, T[kSTwist]);
  }
  Add(p.text);
  Add(T[kCannotReduce]);
  DiagCount(kDiagS, gFind.slightbones, kDiagBones);
  DiagReasons(p.text);
}

void PutLine(const char* text) {
  rbputs(text);
  rbnewline();
}

}  // namespace

void buildreport() {
  const bool alias = AliasMode();
  static char line[kPathMax * 2 + 64];

  rbreset();
  rbcolor(255, 255, 255);
  rbnewline();

  // The checked file. Where narrow names are not Shift-JIS the narrow form
  // cannot be shown in a Shift-JIS line (and has lost what its code page
  // cannot hold), so the UTF-16 form is converted instead.
  if (gRun.lastVmdA[0] || gRun.lastVmdW[0]) {
    bool wide = gRun.lastVmdA[0] == 0;
    if (!gRun.sjisNames && gRun.lastVmdW[0]) wide = true;
    if (wide)
      unitosjisshown(line, (int)sizeof line, gRun.lastVmdW);
    else
      snprintf(line, sizeof line, "%.*s", (int)strnlen(gRun.lastVmdA, kPathMax), gRun.lastVmdA);
    PutLine(line);
  }
  PutReadStatusLines();
  rbnewline();

  if (gSourceModel[0]) {
    char model[sizeof gSourceModel];
    memcpy(model, gSourceModel, sizeof model);
    model[sizeof model - 1] = 0;
    CutLoneLead(model);
    snprintf(line, sizeof line, "%s%s  (VMD) ", alias ? "Source model: " : T[kModelJa], model);
    PutLine(line);
  }
  PutLine(alias ? "Target model: VRM model (Lumeno 3.10-3.13) " : T[kTargetJa]);

  findbones();
  listbones();
  listmorphs();
  rbmarkdropped();
}

void buildverdict() {
  const int L = gFind.licensefactors, D = gFind.dropfactors;
  const int R = gFind.roughbones, S = gFind.slightbones;
  gFileReport.boxtext[0] = 0;
  gFileReport.boxtextw[0] = 0;
  gBoxLength = 0;
  DiagPrint("%s", T[kDiagHead]);

  if (L > 0) LicenseBlock();
  if (L > 0 && D > 0) Add("\r\n  \r\n  \r\n");
  if (D > 0) {
    DropBlock();
  } else if (R > 0) {
    RoughBlock();
  } else if (S > 0) {
    SlightBlock();
  } else if (L == 0) {
    Add(T[kOk]);
    DiagPrint("%s", T[kDiagOk]);
  }

  uint32_t categories = 0;
  if (L > 0) categories |= 1u << kLevelFix;
  if (D > 0) categories |= 1u << kLevelDropout;
  if (R > 0) categories |= 1u << kLevelRough;
  if (S > 0) categories |= 1u << kLevelSlight;
  int category = kLevelOk;
  for (int c = kLevelFix; c > kLevelOk; c--) {
    if (categories & (1u << c)) {
      category = c;
      break;
    }
  }
  RecordVerdict(category, categories ? categories : 1u << kLevelOk);
}
