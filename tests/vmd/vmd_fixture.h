// Shared set-up of the VMD reader tests: the name registry reloaded as the
// driver does before every motion, the diagnostic texts collected, and a
// writer's bytes read through a file in a temporary folder.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "base/diag.h"
#include "names/nametable.h"
#include "names/vocabulary.h"
#include "platform/headless/headless.h"
#include "tests/support/tempdir.h"
#include "tests/support/vmdwriter.h"
#include "vmd/vmdread.h"

class VmdTest : public ::testing::Test {
 protected:
  static std::string& Diag() {
    static std::string text;
    return text;
  }
  static void Collect(const char* t) { Diag() += t; }

  void SetUp() override {
    HeadlessReset();  // locale of the narrow paths: UTF-8
    ResetNameTables();
    RegisterBuiltinNames();
    Diag().clear();
    DiagSetReceiver(&Collect);
  }
  void TearDown() override { DiagSetReceiver(nullptr); }

  // Writes the bytes to a file and reads it through the narrow path.
  int Read(const VmdWriter& w) {
    const std::string path = dir_.Write("read.vmd", w.bytes.data(), w.bytes.size());
    EXPECT_FALSE(path.empty());
    Diag().clear();
    return readvmdA(path.c_str());
  }

  bool DiagHas(const std::string& text) const { return Diag().find(text) != std::string::npos; }

  static int BoneIndex(const std::string& s) { return FindNameFrom(1, s.c_str(), NameCount(1)); }
  static int MorphIndex(const std::string& s) { return FindNameFrom(2, s.c_str(), NameCount(2)); }
  // The track of a name (UTF-8); an unknown name or one beyond the table fails.
  template <typename Track, int N>
  static const Track& TrackOf(Track (&tracks)[N], int index, const char* utf8) {
    EXPECT_TRUE(index > 0 && index < N) << utf8;
    return tracks[index > 0 && index < N ? index : 0];
  }
  static const BoneTrack& Bone(const char* utf8) {
    return TrackOf(gBoneTracks, BoneIndex(SjisName(utf8)), utf8);
  }
  static const MorphTrack& Morph(const char* utf8) {
    return TrackOf(gMorphTracks, MorphIndex(SjisName(utf8)), utf8);
  }
  template <typename Track, int N>
  static int KeysTotal(const Track (&tracks)[N]) {
    int n = 0;
    for (const Track& t : tracks) n += t.keycount;
    return n;
  }
  static int BoneKeysTotal() { return KeysTotal(gBoneTracks); }
  static int MorphKeysTotal() { return KeysTotal(gMorphTracks); }

  // Header and model name of a well-formed file.
  static VmdWriter Start(const std::string& model = "Model") {
    VmdWriter w;
    w.Header().ModelName(model);
    return w;
  }

  TempDir dir_;
};
