// The VMD reader: checks the header, walks every section of a motion file in
// order and fills the per-bone and per-morph tracks. Camera, light,
// self-shadow and show-and-IK records are read and dropped; only their counts
// are kept. All messages go to DiagPrint.
//
// File layout (little-endian): a 30-byte header, a 20-byte model name, then
// six sections, each an int32 count followed by its records: bone keys (111
// bytes), morph keys (23), camera keys (61), light keys (28), self-shadow keys
// (9) and show-and-IK keys (variable). Anything after them is trailing data.
#include "vmd/vmdread.h"

#include <cmath>
#include <cstring>

#include "base/diag.h"
#include "base/encoding.h"
#include "base/filechan.h"
#include "names/nametable.h"
#include "vmd/rotation.h"
#include "vmd/untracked.h"

BoneTrack gBoneTracks[kBoneTracks];
MorphTrack gMorphTracks[kMorphTracks];
char gSourceModel[22];
int32_t gSectionCounts[6];
VmdReadFacts gVmdFacts;

namespace {

// The tracks the reader has given a first key since the last reset, so that
// the next read puts back only those: a small motion costs what it holds,
// not the 12,288 tracks. A track enters when its key count leaves 0, so each
// list holds every index at most once and never overflows.
int32_t gUsedBones[kBoneTracks];
int32_t gUsedBoneCount = 0;
int32_t gUsedMorphs[kMorphTracks];
int32_t gUsedMorphCount = 0;
bool gTracksFresh = false;  // the tables have been reset in full once

constexpr BoneTrack kFreshBone = {.keycount = 0,
                                  .firstframe = 999999,
                                  .lastframe = -1,
                                  .moved = 0,
                                  .maxpos = 0.0f,
                                  .maxrot = 0.0f,
                                  .maxtwsplus = 0.0f,
                                  .attwsplus = -1,
                                  .maxtwsminus = 0.0f,
                                  .attwsminus = -1,
                                  .atmaxpos = -1,
                                  .atmaxrot = -1};
constexpr MorphTrack kFreshMorph = {
    .keycount = 0, .firstframe = 999999, .lastframe = -1, .minval = 999.9f, .maxval = -999.9f};

constexpr int kBoneTable = 1;
constexpr int kMorphTable = 2;

constexpr int kNameBytes = 15;    // name field of a bone or morph key
constexpr int kModelBytes = 20;   // model name field
constexpr int kIkNameBytes = 20;  // name field of an IK entry

// Bones whose twist is measured. Twist bones: the whole rotation is twist.
// Arm and elbow bones: the twist about the bone's fixed axis.
// Shift-JIS: 左腕捩, 左手捩, 右腕捩, 右手捩.
const char* const kTwistBones[4] = {
    "\x8D\xB6\x98\x72\x9D\x80",
    "\x8D\xB6\x8E\xE8\x9D\x80",
    "\x89\x45\x98\x72\x9D\x80",
    "\x89\x45\x8E\xE8\x9D\x80",
};

struct ArmBone {
  const char* name;
  Vec3 axis;
};
// Shift-JIS: 左腕, 左ひじ, 右腕, 右ひじ.
const ArmBone kArmBones[4] = {
    {"\x8D\xB6\x98\x72", {0.819742024f, -0.572733998f, 0.0f, 0.0f}},
    {"\x8D\xB6\x82\xD0\x82\xB6", {0.759227991f, -0.650820971f, -0.00236674002f, 0.0f}},
    {"\x89\x45\x98\x72", {0.819742024f, 0.572733998f, 0.0f, 0.0f}},
    {"\x89\x45\x82\xD0\x82\xB6", {0.759227991f, 0.650820971f, 0.00236674002f, 0.0f}},
};

}  // namespace

const char* TwistMeasuredBone(int i) {
  if (i >= 0 && i < 4) return kTwistBones[i];
  if (i >= 4 && i < 8) return kArmBones[i - 4].name;
  return nullptr;
}

namespace {

// Where the reader is: the part of the file, and whether in a count field.
int gPart = kVmdHeader;
bool gInCount = false;

// The first read that comes up short marks where the file was cut.
void noteend() {
  VmdReadFacts& f = gVmdFacts;
  if (f.cutPart >= 0) return;
  f.cutPart = static_cast<int8_t>(gPart);
  f.cutInCount = gInCount ? 0xFF : 0;
  f.cutRecords = gPart >= kVmdBone ? f.recordsRead[gPart - kVmdBone] : 0;
}

// A negative count where a count of records stands: what follows cannot be
// placed, so the read stops here. The file's size is still learnt.
void badcount(int32_t value, bool ik) {
  VmdReadFacts& f = gVmdFacts;
  f.cutPart = static_cast<int8_t>(gPart);
  f.cutInCount = 0;
  f.cutRecords = gPart >= kVmdBone ? f.recordsRead[gPart - kVmdBone] : 0;
  f.badCount = 0xFF;
  f.badIkCount = ik ? 0xFF : 0;
  f.badCountValue = value;
  f.stopOffset = rftell();
  DiagPrint("Negative count (%ld): the rest of the file is not read. \n", static_cast<long>(value));
  if (rfseek(0, 2) != 0) DiagPrint("No size of the file. \n");
}

// A whole record of the current section was read.
void noterecord(int32_t frame) {
  VmdReadFacts& f = gVmdFacts;
  int s = gPart - kVmdBone;
  if (f.recordsRead[s] == 0 || frame > f.maxFrame[s]) f.maxFrame[s] = frame;
  f.recordsRead[s]++;
}

// An IK entry switched off at frame: remembered once per IK bone, with the
// smallest such frame.
void noteikoff(const unsigned char* field, int32_t frame) {
  VmdReadFacts& f = gVmdFacts;
  char name[21];
  std::memcpy(name, field, 20);
  name[20] = 0;
  for (int i = 0; i < f.ikOffCount; i++) {
    if (std::strcmp(f.ikOff[i].name, name) != 0) continue;
    if (frame < f.ikOff[i].frame) f.ikOff[i].frame = frame;
    return;
  }
  if (f.ikOffCount >= kIkOffMax) {
    f.ikOffOmitted++;
    return;
  }
  std::memcpy(f.ikOff[f.ikOffCount].name, name, sizeof name);
  f.ikOff[f.ikOffCount].frame = frame;
  f.ikOffCount++;
}

// Reads n bytes in one block read; a byte past the end of the file reads as
// 0xFF, as a single-byte read gives it. Whether all were real is learnt from
// rfeof() afterwards: a short read has closed the file. Result: bytes read.
int getbytes(unsigned char* dst, int n) {
  int got = rfread(dst, n);
  if (got < 0) got = 0;
  for (int i = got; i < n; i++) dst[i] = 0xFF;
  if (got < n) noteend();
  return got;
}

int32_t getint(const unsigned char* b) {
  const uint32_t v = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                     uint32_t(b[3]) << 24;
  return static_cast<int32_t>(v);
}

float getfloat(const unsigned char* b) {
  const uint32_t v = static_cast<uint32_t>(getint(b));
  float f;
  std::memcpy(&f, &v, sizeof f);
  return f;
}

bool ended() { return rfeof() != 0; }

// A fixed-width name field as a string: NUL at the field's width when the
// field holds none.
void namefield(char* dst, const unsigned char* src, int width) {
  std::memcpy(dst, src, static_cast<size_t>(width));
  dst[width] = 0;
}

// Interpolation reference values and the bytes that should repeat them: the
// 64 bytes hold the same parameters four times, shifted by one per row.
const char* const kRefNames[15] = {"Yax", "Zax", "Rax", "Xay", "Yay",
                                   "Zay", "Ray", "Xbx", "Ybx", "Zbx",
                                   "Rbx", "Xby", "Yby", "Zby", "Rby"};
const int kRefBytes[15] = {1, 32, 33, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

// bz: the 64 interpolation bytes of a bone key
void checkinterp(const unsigned char* bz) {
  if (!DiagActive()) return;  // the checks only give messages
  unsigned char ref[15];
  for (int i = 0; i < 15; i++) ref[i] = bz[kRefBytes[i]];
  // bytes 16..30 against all fifteen, 32..45 from Zax, 48..60 from Rax
  for (int k = 16; k <= 30; k++) {
    const int r = k - 16;
    if (bz[k] == ref[r]) continue;
    if (k <= 18)
      DiagPrint("  bz[%d](=%02X)!=%s(=%02X) \n", k, bz[k], kRefNames[r], ref[r]);
    else
      DiagPrint("  bz[%d]!=%s \n", k, kRefNames[r]);
  }
  for (int k = 32; k <= 45; k++) {
    const int r = k - 32 + 1;
    if (bz[k] != ref[r]) DiagPrint("  bz[%d]!=%s \n", k, kRefNames[r]);
  }
  for (int k = 48; k <= 60; k++) {
    const int r = k - 48 + 2;
    if (bz[k] != ref[r]) DiagPrint("  bz[%d]!=%s \n", k, kRefNames[r]);
  }
}

// Updates the track of one bone key.
void bonekey(BoneTrack* t, const char* name, int32_t frame, const float pos[3],
             const Quat& rot) {
  // The first key sets the frame range: a figure is the motion's, never the
  // table's start value (frames beyond 999999 or below 0 are frames too).
  // It also enters the track in the list of those the next read resets.
  if (t->keycount++ == 0) {
    t->firstframe = t->lastframe = frame;
    if (gUsedBoneCount < kBoneTracks)
      gUsedBones[gUsedBoneCount++] = static_cast<int32_t>(t - gBoneTracks);
  }
  if (frame < t->firstframe) t->firstframe = frame;
  if (frame > t->lastframe) t->lastframe = frame;

  // q: the rotation players turn by, with w >= 0 (x, y, z negated when w < 0)
  Quat q = qplayed(rot);
  if (std::fabs(q.x) > 0.01f || std::fabs(q.y) > 0.01f || std::fabs(q.z) > 0.01f ||
      std::fabs(pos[0]) > 0.01f || std::fabs(pos[1]) > 0.01f || std::fabs(pos[2]) > 0.01f)
    t->moved = 0xFF;

  if (q.w < 0.0f) {
    q.x = -q.x;
    q.y = -q.y;
    q.z = -q.z;
  }
  const float plen = std::sqrt(pos[0] * pos[0] + pos[1] * pos[1] + pos[2] * pos[2]);
  const float rlen = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z);
  if (plen > t->maxpos || (plen > 0.0f && plen == t->maxpos && frame < t->atmaxpos)) {
    t->maxpos = plen;
    t->atmaxpos = frame;
  }
  if (rlen > t->maxrot || (rlen > 0.0f && rlen == t->maxrot && frame < t->atmaxrot)) {
    t->maxrot = rlen;
    t->atmaxrot = frame;
  }

  // Every twist, arm and elbow bone's name begins with 左 or 右 (lead byte
  // 0x8D or 0x89): other names need no comparison.
  const unsigned char first = static_cast<unsigned char>(name[0]);
  if (first != 0x8D && first != 0x89) return;
  float amount = 0.0f, sign = 0.0f;
  bool twisting = false;
  for (const char* tb : kTwistBones) {
    if (std::strcmp(name, tb) == 0) {
      amount = rlen;
      sign = q.x;
      twisting = true;
      break;
    }
  }
  if (!twisting) {
    for (const ArmBone& ab : kArmBones) {
      if (std::strcmp(name, ab.name) != 0) continue;
      Quat swing, tw;
      qtwist(&swing, &tw, &q, &ab.axis);
      if (tw.w < 0.0f) {
        tw.x = -tw.x;
        tw.y = -tw.y;
        tw.z = -tw.z;
      }
      amount = std::sqrt(tw.x * tw.x + tw.y * tw.y + tw.z * tw.z);
      sign = tw.x;
      twisting = true;
      break;
    }
  }
  if (!twisting) return;
  // strictly greater replaces: an equal amount keeps the earlier key
  if (sign >= 0.0f) {
    if (amount > t->maxtwsplus) {
      t->maxtwsplus = amount;
      t->attwsplus = frame;
    }
  } else if (amount > t->maxtwsminus) {
    t->maxtwsminus = amount;
    t->attwsminus = frame;
  }
}

// Bone key section: stops at the end of the file or after count records.
// A record cut short ends the section without failing the read.
void readbones(int32_t count) {
  unsigned char rec[111];
  char name[kNameBytes + 1];
  for (int64_t n = 1; !ended() && n <= count; n++) {
    // name, numbers and interpolation bytes: a record cut anywhere in them
    // ends the section, so the whole record is read before the one test
    getbytes(rec, sizeof rec);
    if (ended()) return;
    namefield(name, rec, kNameBytes);

    const int idx = FindOrAddLiteralName(kBoneTable, name);
    if (idx <= 0) {
      DiagPrint("Cannot find (%d): %s \n", idx, name);
      NoteUntrackedKey(kBoneTable, name);
    } else if (idx >= kBoneTracks) {
      // more names than tracks: the key has no track to go to
      DiagPrint("No track for (%d): %s \n", idx, name);
      NoteUntrackedKey(kBoneTable, name);
    } else {
      const float pos[3] = {getfloat(rec + 19), getfloat(rec + 23), getfloat(rec + 27)};
      const Quat rot = {getfloat(rec + 31), getfloat(rec + 35), getfloat(rec + 39),
                        getfloat(rec + 43)};
      bonekey(&gBoneTracks[idx], name, getint(rec + 15), pos, rot);
    }
    noterecord(getint(rec + 15));
    checkinterp(rec + 47);
  }
}

// Morph key section: 0, or 2 when a record is cut by the end of the file.
int readmorphs(int32_t count) {
  unsigned char rec[23];
  char name[kNameBytes + 1];
  for (int64_t n = 1; !ended() && n <= count; n++) {
    // a record cut in its name, or in its frame or weight, fails the read
    // and is not counted
    getbytes(rec, sizeof rec);
    if (ended()) return 2;
    namefield(name, rec, kNameBytes);
    noterecord(getint(rec + 15));

    const int idx = FindOrAddLiteralName(kMorphTable, name);
    if (idx <= 0) {
      DiagPrint("Cannot find (%d): %s \n", idx, name);
      NoteUntrackedKey(kMorphTable, name);
      continue;
    }
    if (idx >= kMorphTracks) {
      DiagPrint("No track for (%d): %s \n", idx, name);
      NoteUntrackedKey(kMorphTable, name);
      continue;
    }
    const int32_t frame = getint(rec + 15);
    const float weight = getfloat(rec + 19);
    MorphTrack* t = &gMorphTracks[idx];
    // The first key sets the ranges; a weight that is not a number (NaN)
    // never replaces a number, and a number replaces it. It also enters the
    // track in the list of those the next read resets.
    if (t->keycount++ == 0) {
      t->firstframe = t->lastframe = frame;
      t->minval = t->maxval = weight;
      if (gUsedMorphCount < kMorphTracks) gUsedMorphs[gUsedMorphCount++] = idx;
    }
    if (frame < t->firstframe) t->firstframe = frame;
    if (frame > t->lastframe) t->lastframe = frame;
    if (weight < t->minval || t->minval != t->minval) t->minval = weight;
    if (weight > t->maxval || t->maxval != t->maxval) t->maxval = weight;
  }
  return 0;
}

int readcameras(int32_t count) {
  unsigned char rec[61];
  for (int64_t n = 1; n <= count; n++) {
    getbytes(rec, 32);  // frame, distance, position, rotation
    if (ended()) return 2;
    getbytes(rec + 32, 24);  // interpolation
    if (ended()) return 2;
    if (getbytes(rec + 56, 5) == 5) noterecord(getint(rec));  // view angle, perspective flag
  }
  return 0;
}

int readlights(int32_t count) {
  unsigned char rec[28];
  for (int64_t n = 1; n <= count; n++) {
    getbytes(rec, 16);  // frame, colour
    if (ended()) return 2;
    if (getbytes(rec + 16, 12) == 12) noterecord(getint(rec));  // position
    DiagPrint("Light %ld: frametime=%ld  RGB(%g,%g,%g) pos(%g,%g,%g) \n",
              static_cast<long>(n), static_cast<long>(getint(rec)),
              double(getfloat(rec + 4)), double(getfloat(rec + 8)),
              double(getfloat(rec + 12)), double(getfloat(rec + 16)),
              double(getfloat(rec + 20)), double(getfloat(rec + 24)));
  }
  return 0;
}

int readselfshadows(int32_t count) {
  unsigned char rec[9];
  for (int64_t n = 1; n <= count; n++) {
    getbytes(rec, 4);  // frame
    if (ended()) return 2;
    if (getbytes(rec + 4, 5) == 5) noterecord(getint(rec));  // mode, distance
  }
  return 0;
}

int readshowiks(int32_t count) {
  unsigned char head[5];
  unsigned char rec[kIkNameBytes + 1];
  VmdReadFacts& f = gVmdFacts;
  static VmdIkOff before[kIkOffMax];
  for (int64_t n = 1; n <= count; n++) {
    getbytes(head, 5);  // frame, show flag
    if (ended()) return 2;
    const int32_t frame = getint(head);
    getbytes(rec, 4);
    const int32_t iks = getint(rec);
    // a cut IK count reads as -1 and gives no entries
    if (iks < 0 && !ended()) {
      badcount(iks, true);
      return 2;
    }
    // IK switched off counts from whole records only: what this record
    // notes is taken back when the file ends inside it
    const int32_t countBefore = f.ikOffCount, omittedBefore = f.ikOffOmitted;
    std::memcpy(before, f.ikOff, sizeof before);
    bool nameCut = false;
    for (int64_t k = 1; k <= iks; k++) {
      getbytes(rec, kIkNameBytes);
      if (ended()) {
        nameCut = true;
        break;
      }
      // enable flag
      if (getbytes(rec + kIkNameBytes, 1) == 1 && rec[kIkNameBytes] == 0) noteikoff(rec, frame);
    }
    if (ended()) {
      f.ikOffCount = countBefore;
      f.ikOffOmitted = omittedBefore;
      std::memcpy(f.ikOff, before, sizeof before);
      if (nameCut) return 2;
      continue;  // the next record's end test tells the rest
    }
    noterecord(frame);
  }
  return 0;
}

// Reads a section count: 1 when read, 0 (count 0 and the message) when the
// file has ended before it, 2 when it is negative (reading stops there).
int sectioncount(int slot, const char* endmsg) {
  unsigned char b[4];
  gPart = kVmdBone + slot;
  gInCount = true;
  // The file may end cleanly before a section (all but the bone section):
  // that is no cut.
  const bool cut = gVmdFacts.cutPart >= 0;
  const int got = getbytes(b, 4);
  if (got == 0 && !cut) gVmdFacts.cutPart = -1;
  gInCount = false;
  if (ended()) {
    gSectionCounts[slot] = 0;
    DiagPrint("%s", endmsg);
    return 0;
  }
  gSectionCounts[slot] = getint(b);
  gVmdFacts.present[slot] = 0xFF;
  if (gSectionCounts[slot] < 0) {
    badcount(gSectionCounts[slot], false);
    return 2;
  }
  return 1;
}

// Everything after the last section: listed, never an error.
void readtrailing() {
  if (ended()) return;
  int c = rfgetc();
  if (c < 0) return;
  DiagPrint("Unrecognized data bytes found. \n");
  int64_t total = 0;
  if (!DiagActive()) {
    // Nobody sees the bytes: the end of the file tells how many there are,
    // else they are counted a block at a time.
    const int64_t after = rftell();
    if (rfseek(0, 2) == 0 && rftell() >= after) {
      total = 1 + (rftell() - after);
    } else {
      unsigned char block[4096];
      total = 1;
      for (int got; (got = rfread(block, sizeof block)) > 0;) total += got;
    }
    c = -1;
  }
  while (c >= 0) {
    DiagPrint("%02X ", c);
    total++;
    if (total % 16 == 0) DiagPrint("\n");
    c = rfgetc();
  }
  DiagPrint("Unrecognized block: Total %lld bytes.\n", static_cast<long long>(total));
  gVmdFacts.trailingBytes = total;
}

// The sections after the bone keys; 0, or 2 when a record is cut short.
int readrest() {
  if (int c = sectioncount(1, "  info: VMD ended with only bone motion(s). \n"); c != 1) return c;
  DiagPrint("\nMorph exist. \n");
  DiagPrint(" %d morphs ... ", gSectionCounts[1]);
  if (readmorphs(gSectionCounts[1]) != 0) return 2;
  DiagPrint("OK. \n");

  if (int c = sectioncount(2, "  info: VMD ended with morph data. \n"); c != 1) return c;
  DiagPrint("\nCamera exist. \n");
  DiagPrint(" %d cameras ... ", gSectionCounts[2]);
  if (readcameras(gSectionCounts[2]) != 0) return 2;
  DiagPrint("OK. \n");

  if (int c = sectioncount(3, "  info: VMD ended with camera data. \n"); c != 1) return c;
  DiagPrint("\nLight exist. \n");
  DiagPrint(" %d light data ... ", gSectionCounts[3]);
  if (readlights(gSectionCounts[3]) != 0) return 2;
  DiagPrint("OK. \n");

  if (int c = sectioncount(4, "  info: VMD ended with light data. \n"); c != 1) return c;
  DiagPrint("\nSelf-shadow exist. \n");
  DiagPrint(" %d self-shadow data ... ", gSectionCounts[4]);
  if (readselfshadows(gSectionCounts[4]) != 0) return 2;
  DiagPrint("OK. \n");

  if (int c = sectioncount(5, "  info: VMD ended with self-shadow data. \n"); c != 1) return c;
  DiagPrint("\nShow-and-IK exist. \n");
  DiagPrint(" %d show-and-IK data ... ", gSectionCounts[5]);
  if (readshowiks(gSectionCounts[5]) != 0) return 2;
  DiagPrint("OK. \n");

  readtrailing();
  return 0;
}

}  // namespace

void ResetReadFacts() {
  std::memset(&gVmdFacts, 0, sizeof gVmdFacts);
  gVmdFacts.result = -1;
  gVmdFacts.badHeaderAt = -1;
  gVmdFacts.cutPart = -1;
  gPart = kVmdHeader;
  gInCount = false;
  ResetUntracked();
}

void ResetTracks() {
  for (BoneTrack& t : gBoneTracks) t = kFreshBone;
  for (MorphTrack& t : gMorphTracks) t = kFreshMorph;
  gUsedBoneCount = gUsedMorphCount = 0;
  gTracksFresh = true;
  for (int32_t& c : gSectionCounts) c = 0;
}

void ResetReadTracks() {
  if (!gTracksFresh) {
    ResetTracks();
    return;
  }
  for (int i = 0; i < gUsedBoneCount; i++) gBoneTracks[gUsedBones[i]] = kFreshBone;
  for (int i = 0; i < gUsedMorphCount; i++) gMorphTracks[gUsedMorphs[i]] = kFreshMorph;
  gUsedBoneCount = gUsedMorphCount = 0;
  for (int32_t& c : gSectionCounts) c = 0;
}

void ClearSourceModel() { std::memset(gSourceModel, 0, sizeof gSourceModel); }

bool CutLoneLead(char* s) {
  size_t i = 0;
  while (s[i] != 0) {
    if (issjislead(static_cast<unsigned char>(s[i]))) {
      if (s[i + 1] == 0) {
        s[i] = 0;
        return true;
      }
      i += 2;
    } else {
      i++;
    }
  }
  return false;
}

int readvmd(const char* path, const char16_t* widepath, int usewide) {
  ResetReadTracks();
  ClearSourceModel();
  ResetReadFacts();

  if (widepath != nullptr && widepath[0] != 0) {
    char shown[1040];  // 260 UTF-16 units, up to 4 bytes each
    unitosjis(shown, sizeof shown, widepath);
    DiagPrint("Reading from(W): %s \n", shown);
  }
  if (path != nullptr && path[0] != 0) DiagPrint("Reading from: %s \n", path);

  int opened;
  if (usewide == 0)
    opened = path != nullptr ? rfopen(path) : -1;
  else
    opened = widepath != nullptr ? rfopenW(widepath) : -1;
  if (opened != 0) return -1;
  gVmdFacts.opened = 0xFF;

  // Header, 30 bytes: "Vocaloid Motion Data 0002" and padding; only the
  // bytes 0-3 and 21-24 are checked, each as soon as it is read.
  for (int i = 0; i < 30; i++) {
    const int c = rfgetc();
    int want = -2;
    if (i <= 3) want = "Voca"[i];
    if (i >= 21 && i <= 24) want = "0002"[i - 21];
    if (want != -2 && c != want) {
      DiagPrint("Illegal file format at %06X=(%02X) \n", static_cast<unsigned>(rftell()),
                static_cast<unsigned>(c));
      gVmdFacts.badHeaderAt = i;
      gVmdFacts.badHeaderByte = c;
      // Not a motion: the file's size, not the few bytes looked at.
      if (rfseek(0, 2) != 0) DiagPrint("No size of the file. \n");
      gVmdFacts.endOffset = rftell();
      gVmdFacts.result = 2;
      rfclose();
      return 2;
    }
    if (c < 0) noteend();  // the unchecked padding bytes
  }
  gVmdFacts.headerOk = 0xFF;
  gPart = kVmdModelName;

  // Model name, 20 bytes. A field cut by the end of the file ends the name
  // where the file ends.
  char model[kModelBytes + 2] = {};
  for (int i = 0; i < kModelBytes; i++) {
    const int c = rfgetc();
    if (c < 0) noteend();
    model[i] = c < 0 ? 0 : static_cast<char>(c);
  }
  if (model[0] != 0) {
    std::memcpy(gSourceModel, model, sizeof gSourceModel);
    if (CutLoneLead(gSourceModel)) {
      gVmdFacts.modelNameCut = 0xFF;
      DiagPrint("(>20 kanji-trancated) ");
    }
    DiagPrint("model name = %s \n", gSourceModel);
  }

  unsigned char b[4];
  gPart = kVmdBone;
  gInCount = true;
  if (getbytes(b, 4) == 4) gVmdFacts.present[0] = 0xFF;
  gInCount = false;
  gSectionCounts[0] = getint(b);
  DiagPrint("max blocks of frames = %ld \n", static_cast<long>(gSectionCounts[0]));
  int result = 2;
  if (gSectionCounts[0] < 0 && !ended()) {
    badcount(gSectionCounts[0], false);
  } else {
    readbones(gSectionCounts[0]);
    result = readrest();
  }
  DiagPrint("done. \n");
  gVmdFacts.endOffset = rftell();
  gVmdFacts.result = result == 2 ? 2 : 0;
  rfclose();
  return gVmdFacts.result;
}

int readvmdA(const char* path) { return readvmd(path, u"", 0); }

int readvmdW(const char16_t* widepath) { return readvmd("", widepath, 1); }
