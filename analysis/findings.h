// Findings about particular bones, and the bone and morph lists.
#pragma once
#include <cstdint>

struct Findings {
  int32_t licensefactors, dropfactors, roughbones, slightbones;
  uint32_t twistbones;
  int32_t upper2state;
  uint32_t plusbones, dlegbones, darmbones, upper3bones, ikparents, shoulderp;
  uint32_t armslight, armrough;
  int32_t lowerbodystate, waiststate;
};
extern Findings gFind;

void findbones();
void listbones();
void listmorphs();
