// The pose stage on the real motions (skipped without them): the turns of
// the neck, head, elbows and hands kept at every frame, the ankles on their
// targets, the bones pointing where MMD puts them. Prints the figures of each: the IK's misses, how far the leg
// roots and the spine root stand from MMD's, the bones left out.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/support/tempdir.h"
#include "tests/vrma/vrma_check.h"

namespace {

using namespace vrmacheck;

TEST(VrmaSamples, RealMotionsPlayOnTheStandardSkeleton) {
  std::error_code ec;
  std::filesystem::directory_iterator it(TARVEL_SAMPLES_DIR, ec);
  if (ec) GTEST_SKIP() << "no sample motions";
  std::vector<std::string> files;
  for (const auto& e : it)
    if (e.path().extension() == ".vmd") files.push_back(e.path().string());
  std::sort(files.begin(), files.end());
  int played = 0;
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    const Played r(ReadFileBytes(path));
    if (r.status == kVrmaPoseNoBones || r.status == kVrmaPoseNotMotion) continue;
    ASSERT_EQ(r.status, kVrmaPoseDone);
    played++;
    ExpectAnglesKept(r);
    const auto [checked, worst] = ExpectAnklesOnTargets(r);
    const double direction = WorstDirectionDeg(r);
    EXPECT_LT(direction, 0.1);
    const VrmaPoseStats& s = r.stats;
    printf("%s: %d frames; IK %lld solves (%lld out of reach, %lld finished), descent's worst miss %.4f m, "
           "worst miss %.6f m (checked %d, %.6f m); leg roots %.4f m, spine root %.4f m off MMD's; bones within %.3f degrees of MMD's; %d bones left out%s\n",
           std::filesystem::path(path).filename().c_str(), s.frames, (long long)s.ikSolves,
           (long long)s.ikUnreachable, (long long)s.ikFinished, s.worstDescentMiss, s.worstMiss, checked, worst,
           s.legRootOffset, s.spineRootOffset, direction, s.unmappedCount, s.unmappedMore ? " and more" : "");
  }
  if (!played) GTEST_SKIP() << "no sample motion with bone keys";
}

}  // namespace
