#include "app/fix_tool.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "analysis/file_report.h"
#include "app/folder_walk.h"
#include "app/output_check.h"
#include "app/report_tool.h"
#include "app/vrma_tool.h"
#include "base/control_escape.h"
#include "base/encoding.h"
#include "base/paths.h"
#include "base/runenv.h"
#include "fix/fix_copy.h"
#include "fix/fix.h"
#include "platform/port.h"

namespace {

using nlohmann::ordered_json;

// ---- the verdict of a motion, as the report tool gives it -----------------

struct Verdict {
  bool read = false;        // the file was read (complete or cut)
  std::string status;       // "complete", "cut", "not-a-motion", "unreadable"
  std::string problem;      // why it is not complete
  std::string category;     // "fix" ... "ok"
  std::string text;         // the verdict box's text
  // findings that count for the verdict, about a bone (its UTF-8 name) or not
  struct Finding {
    std::string code, bone, message;
    int severity;
    bool fixable;
  };
  std::vector<Finding> findings;
  // the twist of each bone the report measures it for (arms, elbows, twist
  // bones): the larger of its two directions, in degrees
  std::vector<std::pair<std::string, double>> twists;

  double TwistOf(const std::string& bone) const {
    for (const auto& t : twists)
      if (t.first == bone) return t.second;
    return 0;
  }
};

// The one place that asks the report tool: the per-file check and what it
// recorded.
void CheckVerdict(const char* file, const char16_t* widefile, Verdict* v) {
  ReportToolCheck(file, widefile);
  const FileReport& r = gFileReport;
  char message[256];
  StatusMessage(r, message, sizeof message);
  *v = Verdict();
  v->read = r.read;
  v->status = StatusName(r.status);
  v->problem = message;
  if (!r.read) return;
  v->category = CategoryName(r.category);
  static char verdict[kVerdictUtf8];
  VerdictUtf8(r, verdict, sizeof verdict);
  v->text = verdict;
  for (int i = 0; i < r.findingCount; i++) {
    const ReportFinding& f = r.findings[i];
    if (f.severity != kSeverityInfo)
      v->findings.push_back({FindingCodeName(f.code), f.name, f.message, f.severity,
                             FindingFixable(f.code)});
  }
  for (int i = 0; i < r.boneCount; i++)
    if (r.bones[i].twisted)
      v->twists.push_back({r.bones[i].name, std::max(r.bones[i].twistPlusDeg, r.bones[i].twistMinusDeg)});
}

// ---- what is left, and why ----------------------------------------------------

const char* LeftReason(const std::string& code) {
  static const char* const kReasons[][2] = {
      {"leg-d-bone", "a D bone follows the leg after IK, which needs the model"},
      {"arm-d-bone", "a D bone follows the arm after IK, which needs the model"},
      {"upper-body-3", "上半身3 turns about its own pivot, which needs the model"},
      {"leg-ik-parent-full-width", "a leg IK parent: folding it needs the model"},
      {"leg-ik-parent", "a leg IK parent: folding it needs the model"},
      {"plus-bone", "a _+ bone: folding it needs the model"},
      {"arm-twist-rough", "a strong arm twist is the viewer's limit, not a bone of the motion"},
      {"arm-twist-slight", "a strong arm twist is the viewer's limit, not a bone of the motion"},
      {"lower-body", "下半身 is the viewer's limit, not a bone of the motion"},
      {"waist", "腰 is the viewer's limit, not a bone of the motion"},
  };
  for (const auto& r : kReasons)
    if (code == r[0]) return r[1];
  return "not fixed from the motion alone";
}

// ---- paths in both forms ---------------------------------------------------------

// A path as the JSON gives it: UTF-8 (on Windows from the UTF-16 form, as the
// report names files there). Lines of text show it through Escaped.
std::string Shown(const FixPath& p) {
  if ((PortAnsiCodePage() == 65001 && !p.narrow.empty()) || p.wide.empty()) return p.narrow;
  char utf8[kPathUtf8];
  unitoutf8(utf8, sizeof utf8, p.wide.c_str());
  return utf8;
}

// ---- the run ---------------------------------------------------------------------

const char kUsage[] =
    "usage: tarvel-fix [--json] [-o OUT.vmd | --out-dir DIR] FILE|FOLDER...\n"
    "       tarvel-fix --vrma [--arm-angle DEG] [--json] [-o OUT.vrma | --out-dir DIR] FILE|FOLDER...\n"
    "  Writes the VRM-ready copy of each VMD motion: twist bones, shoulder P bones\n"
    "  and a lone full-width 上半身２ folded into their neighbours. The copy goes\n"
    "  beside the motion as NAME.vrm.vmd; a folder is searched for .vmd files\n"
    "  (copies, NAME.vrm.vmd, are passed over). A copy already there with the same\n"
    "  bytes is kept; a file of the copy's name is never replaced.\n"
    "  --json        one JSON document for the whole run\n"
    "  -o OUT.vmd    the copy's name (one motion only)\n"
    "  --out-dir DIR the folder the copies go to\n"
    "  --vrma        writes each motion as a VRM Animation instead, NAME.vrma, for\n"
    "                VRM apps: played on Tarvel's standard skeleton with the leg IK\n"
    "                solved, one key per frame, the morphs as expressions\n"
    "  --arm-angle DEG  with --vrma: how far below the horizontal the arms rest on\n"
    "                the model the motion was made on (default: the skeleton's)\n"
    "  --version     prints the version and exits\n"
    "  Exit status: 0 all fixed or nothing to fix, 1 a file not read, fixed or\n"
    "  written, or output that could not be written, 2 usage.\n";

const char kNotice[] =
    "A motion's terms of use may forbid modifying it or passing on a modified copy: "
    "check them before you use or share a copy.";

const char kVrmaNotice[] =
    "A motion's terms of use may forbid converting it or passing on a converted file: "
    "check them before you use or share a .vrma file.";

const char kProgram[] = "tarvel-fix";

struct Run {
  bool json = false;
  bool vrma = false;          // VRM Animations instead of copies
  const double* armAngle = nullptr;
  bool failed = false;
  bool writeFailed = false;  // the output could not be written: the run ends
  const FixPath* outFile = nullptr;
  const FixPath* outDir = nullptr;
  FILE* out = nullptr;
  FILE* err = nullptr;
  ordered_json files = ordered_json::array();
  int fixed = 0, nothing = 0, notFixed = 0;
  FixBytes in;  // the motion, until its copy is written
  std::vector<unsigned char> glb;  // the VRM Animation, until it is written
};

// A file without a copy, for a reason: said on standard error too.
void Failed(Run& run, const std::string& shown, const std::string& reason) {
  fprintf(run.err, "%s: %s: %s\n", kProgram, Escaped(shown.c_str()).c_str(), Escaped(reason.c_str()).c_str());
  run.failed = true;
  run.notFixed++;
}

// What is told of one file: its JSON object, or its lines of text, written
// at once.
void Tell(Run& run, ordered_json&& j, const std::string& text) {
  if (run.json) {
    run.files.push_back(std::move(j));
    return;
  }
  fwrite(text.data(), 1, text.size(), run.out);
  if (!OutputWritten(run.out, run.err, kProgram)) run.writeFailed = true;
}

// A file that is no motion to fix (not a regular file, a folder not listed):
// told of with its reason, on standard error too.
void Refused(Run& run, const std::string& shown, const char* status, const std::string& reason) {
  Tell(run, {{"path", shown}, {"status", status}, {"reason", reason}},
       "# " + Escaped(shown.c_str()) + (run.vrma ? "\nnot written: " : "\nnot fixed: ") + reason + "\n");
  Failed(run, shown, reason);
}

std::string FirstLine(const std::string& s) {
  std::string l = s.substr(0, s.find('\n'));
  while (!l.empty() && l.back() == ' ') l.pop_back();
  return l;
}

ordered_json VerdictJson(const Verdict& v) {
  ordered_json j;
  j["status"] = v.status;
  if (v.status != "complete") j["detail"] = v.problem;
  if (v.read) {
    j["category"] = v.category;
    j["text"] = v.text;
  }
  return j;
}

std::string VerdictLine(const Verdict& v) {
  std::string s = v.read ? v.category + "  " + FirstLine(v.text) : v.status;
  if (v.status != "complete") s += "  (" + v.status + ": " + v.problem + ")";
  return s;
}

// Whether a fold puts its bone's turns into the bone named.
bool FoldsInto(int fold, const std::string& bone) {
  const std::string targets = std::string(" ") + FixFoldTargets(fold) + " ";
  return targets.find(" " + bone + " ") != std::string::npos;
}

// The findings of the copy that the motion did not have (none about the
// bone, or only milder ones), each with the bones folded into it: a twist
// folded into an arm adds to the arm's own.
void NewInCopy(const Verdict& before, const Verdict& after, uint32_t folded, ordered_json* j,
               std::string* text) {
  for (const Verdict::Finding& f : after.findings) {
    bool had = false;
    for (const Verdict::Finding& g : before.findings)
      had = had || (g.bone == f.bone && (g.code == f.code || g.severity >= f.severity));
    if (had) continue;
    ordered_json item = {{"code", f.code}, {"bone", f.bone}, {"message", f.message}};
    ordered_json causes = ordered_json::array();
    std::string line = "new in the copy: " + f.message;
    std::string names;
    for (int k = 0; k < kFolds; k++) {
      if (!(folded & (1u << k)) || !FoldsInto(k, f.bone)) continue;
      causes.push_back(FixFoldSource(k));
      names += std::string(names.empty() ? "" : " and ") + FixFoldSource(k);
    }
    item["foldedIn"] = causes;
    std::string why;
    bool twisted = false;
    for (const auto& t : after.twists) twisted = twisted || t.first == f.bone;
    if (twisted) {
      const double was = before.TwistOf(f.bone), is = after.TwistOf(f.bone);
      item["twist"] = {{"motion", was}, {"copy", is}};
      char figures[96];
      snprintf(figures, sizeof figures, "its twist %.1f° in the motion, %.1f° in the copy", was, is);
      why = figures;
    }
    if (!names.empty()) why += (why.empty() ? "" : ": ") + names + " folded into it";
    if (!why.empty()) line += " (" + why + ")";
    j->push_back(std::move(item));
    *text += line + "\n";
  }
}

void FixOne(Run& run, const FixPath& in) {
  const std::string shown = Shown(in);
  ordered_json j;
  j["path"] = shown;
  std::string text = "# " + Escaped(shown.c_str()) + "\n";

  Verdict before;
  CheckVerdict(in.narrow.c_str(), in.wide.empty() ? nullptr : in.wide.c_str(), &before);
  j["before"] = VerdictJson(before);
  text += "before: " + VerdictLine(before) + "\n";

  FixResult r;
  const char* problem = nullptr;
  std::string status;
  if (!before.read) {
    problem = before.problem.c_str();
    status = before.status;
  } else if ((problem = FixReadWhole(in, &run.in)) != nullptr) {
    status = "unreadable";
  } else {
    FixPlan(run.in.data.get(), run.in.size, &r);
    status = FixStatusName(r.status);
    if (r.status == kFixNotMotion || r.status == kFixCut) problem = FixNoCopyReason(r);
  }
  if (problem) {
    j["status"] = status;
    j["reason"] = problem;
    text += "not fixed: " + std::string(problem) + "\n";
    Failed(run, shown, problem);
  } else {
    ordered_json folded = ordered_json::array(), refused = ordered_json::array();
    for (int f = 0; f < kFolds; f++) {
      if (r.folded & (1u << f)) {
        folded.push_back({{"bone", FixFoldSource(f)}, {"into", FixFoldTargets(f)}});
        text += std::string("folded: ") + FixFoldSource(f) + " into " + FixFoldTargets(f) + "\n";
      } else if (r.wanted & (1u << f)) {
        refused.push_back({{"bone", FixFoldSource(f)}, {"reason", r.reason[f]}});
        text += std::string("not folded: ") + FixFoldSource(f) + ": " + r.reason[f] + "\n";
      }
    }
    ordered_json bones = ordered_json::array();
    if (r.boneCount) {
      text += "keys:";
      for (int i = 0; i < r.boneCount; i++) {
        const FixBone& b = r.bones[i];
        bones.push_back({{"name", b.name}, {"keysBefore", b.keysBefore}, {"keysAfter", b.keysAfter}});
        text += std::string(i ? ", " : " ") + b.name + " " + std::to_string(b.keysBefore) + " -> " +
                std::to_string(b.keysAfter);
      }
      text += "\n";
    }
    ordered_json left = ordered_json::array();
    for (const Verdict::Finding& f : before.findings) {
      if (f.fixable) continue;
      left.push_back({{"code", f.code}, {"bone", f.bone}, {"reason", LeftReason(f.code)}});
      text += "left: " + f.bone + ": " + LeftReason(f.code) + "\n";
    }
    j["status"] = status;
    j["folded"] = folded;
    j["notFolded"] = refused;
    j["bones"] = bones;
    j["left"] = left;
    if (r.status == kFixNothing) {
      text += "nothing to fix: no twist bone, shoulder P bone or lone full-width 上半身２ turns; no copy made\n";
      run.nothing++;
    } else if (r.status == kFixRefused) {
      text += "not fixed: no fold could be made; no copy made\n";
      Failed(run, shown, FixNoCopyReason(r));
    } else {
      const FixPath target = run.outFile ? *run.outFile : FixCopyPath(in, run.outDir);
      const std::string copyShown = Shown(target);
      j["copy"] = copyShown;
      const double ratio = double(r.bytesOut) / double(r.bytesIn);
      j["bytes"] = {{"motion", r.bytesIn}, {"copy", r.bytesOut}, {"ratio", ratio}};
      j["boneKeys"] = {{"motion", r.boneKeysBefore}, {"copy", r.boneKeysAfter}, {"added", r.addedKeys}};
      bool already = false;
      const char* wrote = FixWriteNew(target, &already);
      if (wrote) {
        j["status"] = "not-written";
        j["reason"] = wrote;
        text += "not written: " + Escaped(copyShown.c_str()) + ": " + wrote + "\n";
        Failed(run, shown, std::string("the copy ") + copyShown + " was not written: " + wrote);
      } else {
        j["alreadyThere"] = already;
        char line[160];
        snprintf(line, sizeof line, " (%lld bytes, %.2f times the motion; bone keys %lld -> %lld)\n",
                 (long long)r.bytesOut, ratio, (long long)r.boneKeysBefore, (long long)r.boneKeysAfter);
        text += "copy: " + Escaped(copyShown.c_str()) + (already ? " already there, with the same bytes" : "") + line;
        Verdict after;
        CheckVerdict(target.narrow.c_str(), target.wide.empty() ? nullptr : target.wide.c_str(), &after);
        j["after"] = VerdictJson(after);
        text += "after: " + VerdictLine(after) + "\n";
        ordered_json added = ordered_json::array();
        NewInCopy(before, after, r.folded, &added, &text);
        j["newInCopy"] = added;
        run.fixed++;
      }
    }
  }
  Tell(run, std::move(j), text);
}

// The motion's VRM Animation, written new as NAME.vrma (or where asked).
void VrmaOne(Run& run, const FixPath& in) {
  const std::string shown = Shown(in);
  ordered_json j;
  j["path"] = shown;
  j["status"] = "written";
  std::string text = "# " + Escaped(shown.c_str()) + "\n";
  std::string status;
  const char* problem = FixReadWhole(in, &run.in);
  if (problem) {
    status = "unreadable";
  } else {
    problem = VrmaToolConvert(run.in.data.get(), run.in.size, run.armAngle, &run.glb, &j, &text, &status);
  }
  if (!problem) {
    const FixPath target = run.outFile ? *run.outFile : FixVrmaPath(in, run.outDir);
    const std::string targetShown = Shown(target);
    j["vrma"] = targetShown;
    bool already = false;
    const char* wrote = FixWriteNewBytes(target, run.glb.data(), run.glb.size(), &already);
    if (wrote) {
      status = "not-written";
      problem = wrote;
      text += "not written: " + Escaped(targetShown.c_str()) + ": " + wrote + "\n";
      Failed(run, shown, std::string("the file ") + targetShown + " was not written: " + wrote);
    } else {
      j["alreadyThere"] = already;
      text += "vrma: " + Escaped(targetShown.c_str()) + (already ? " already there, with the same bytes" : "") +
              " (" + std::to_string(run.glb.size()) + " bytes)\n";
      run.fixed++;
    }
  } else {
    text += std::string("not written: ") + problem + "\n";
    Failed(run, shown, problem);
  }
  if (problem) {
    j["status"] = status;
    j["reason"] = problem;
  }
  Tell(run, std::move(j), text);
}

// A walked name like a motion's, as tarvel-report takes it: a file (or a
// link that leads nowhere or in a loop: reading it says why) is fixed; a
// FIFO, a device, a link to a folder is refused unopened. The copies a run
// makes are passed over, so that a second run finds what the first left.
void WalkedMotion(void* ctx, const char* narrow, const char16_t* wide, int kind) {
  Run& run = *static_cast<Run*>(ctx);
  const FixPath path = FixMakePath(narrow, wide);
  if (wide ? FixIsCopyName(path.wide) : FixIsCopyName(path.narrow)) return;
  if (kind == kPathOther && (wide ? PortPathKindW(wide) : PortPathKindA(narrow)) != kPathNone)
    Refused(run, Shown(path), "unreadable", "not a regular file");
  else if (run.vrma)
    VrmaOne(run, path);
  else
    FixOne(run, path);
}

void WalkedUnlisted(void* ctx, const char* narrow, const char16_t* wide, int error) {
  char reason[64];
  OpenErrorText(error, reason, sizeof reason);
  Refused(*static_cast<Run*>(ctx), Shown(FixMakePath(narrow, wide)), "unreadable",
          std::string("cannot list the folder: ") + reason);
}

bool WalkStops(void* ctx) { return static_cast<Run*>(ctx)->writeFailed; }

int Usage(FILE* err, const char* problem) {
  if (problem) fprintf(err, "%s: %s\n", kProgram, problem);
  fputs(kUsage, err);
  return 2;
}

}  // namespace

int FixToolRun(int argc, const char* const* argv, const char16_t* const* wargv, FILE* out,
               FILE* err) {
  Run run;
  run.out = out;
  run.err = err;
  std::vector<int> targets;
  int outFile = 0, outDir = 0;
  double armAngle = 0;
  bool options = true;
  for (int i = 1; i < argc; i++) {
    const char* a = argv[i];
    if (options && a[0] == '-' && a[1] != 0) {
      if (!strcmp(a, "--")) {
        options = false;
      } else if (!strcmp(a, "--version")) {
        fprintf(out, "%s %s\n", kProgram, TARVEL_VERSION);
        return OutputWritten(out, err, kProgram) ? 0 : 1;
      } else if (!strcmp(a, "-h") || !strcmp(a, "--help")) {
        fputs(kUsage, out);
        return OutputWritten(out, err, kProgram) ? 0 : 1;
      } else if (!strcmp(a, "--json")) {
        run.json = true;
      } else if (!strcmp(a, "--vrma")) {
        run.vrma = true;
      } else if (!strcmp(a, "--arm-angle")) {
        char* end = nullptr;
        armAngle = i + 1 < argc ? strtod(argv[i + 1], &end) : 0;
        if (i + 1 >= argc || end == argv[i + 1] || *end || !std::isfinite(armAngle))
          return Usage(err, "--arm-angle needs a number of degrees");
        run.armAngle = &armAngle;
        i++;
      } else if (!strcmp(a, "-o") || !strcmp(a, "--out-dir")) {
        if (i + 1 >= argc) return Usage(err, (std::string(a) + " needs a name").c_str());
        if (outFile || outDir) return Usage(err, "-o and --out-dir are given once, not both");
        (a[1] == 'o' ? outFile : outDir) = ++i;
      } else {
        return Usage(err, ("unknown option " + Escaped(a)).c_str());
      }
      continue;
    }
    targets.push_back(i);
  }
  if (targets.empty()) return Usage(err, nullptr);
  if (run.armAngle && !run.vrma) return Usage(err, "--arm-angle goes with --vrma");
  // What an argument names, through its UTF-16 form where there is one.
  auto kindOf = [&](int i) { return wargv && wargv[i] ? PortPathKindW(wargv[i]) : PortPathKindA(argv[i]); };
  if (outFile && (targets.size() > 1 || kindOf(targets[0]) == kPathFolder))
    return Usage(err, "-o names the copy of one motion; use --out-dir for several");
  if (outFile && kindOf(outFile) == kPathFolder)
    return Usage(err, "-o names a folder: give the copy's file name, or the folder with --out-dir");
  FixPath outPath, dirPath;
  if (outFile) {
    outPath = FixMakePath(argv[outFile], wargv ? wargv[outFile] : nullptr);
    run.outFile = &outPath;
  }
  if (outDir) {
    dirPath = FixMakePath(argv[outDir], wargv ? wargv[outDir] : nullptr);
    if (kindOf(outDir) != kPathFolder)
      return Usage(err, "--out-dir names a folder that does not exist");
    run.outDir = &dirPath;
  }

  if (!run.json) {
    fprintf(out, "%s\n", run.vrma ? kVrmaNotice : kNotice);
    if (!OutputWritten(out, err, kProgram)) return 1;
  }
  for (int i : targets) {
    if (run.writeFailed) break;
    const int kind = kindOf(i);
    if (kind == kPathFolder) {
      const FolderWalk walk = {&run, WalkedMotion, WalkedUnlisted, WalkStops};
      if (wargv && wargv[i])
        WalkFolderW(wargv[i], walk);
      else
        WalkFolderA(argv[i], walk);
    } else if (kind == kPathOther) {
      Refused(run, Shown(FixMakePath(argv[i], wargv ? wargv[i] : nullptr)), "unreadable", "not a regular file");
    } else if (run.vrma) {
      VrmaOne(run, FixMakePath(argv[i], wargv ? wargv[i] : nullptr));
    } else {
      FixOne(run, FixMakePath(argv[i], wargv ? wargv[i] : nullptr));
    }
  }
  if (run.json && !run.writeFailed) {
    ordered_json doc;
    doc["notice"] = run.vrma ? kVrmaNotice : kNotice;
    doc["files"] = std::move(run.files);
    if (run.vrma)
      doc["summary"] = {{"files", run.fixed + run.notFixed}, {"written", run.fixed}, {"notWritten", run.notFixed}};
    else
      doc["summary"] = {{"files", run.fixed + run.nothing + run.notFixed},
                        {"fixed", run.fixed},
                        {"nothingToFix", run.nothing},
                        {"notFixed", run.notFixed}};
    const std::string s = doc.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
    fwrite(s.data(), 1, s.size(), out);
  }
  if (run.writeFailed || !OutputWritten(out, err, kProgram)) return 1;
  return run.failed ? 1 : 0;
}
