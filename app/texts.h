// The driver's Japanese texts (Shift-JIS on first use; see texts.cpp).
#pragma once

#include "base/sjis_text.h"

enum DriverText {
  kTxtThisFileJp,
  kTxtNoExtJp,
  kTxtForceJp,
  kTxtThisFileBoxJp,
  kTxtNoExtBoxJp,
  kTxtForceBoxJp,
  kTxtSkipJp,
  kTxtNotModifiedJp,
  kTxtJapaneseEnv,
  kTxtCount
};

extern SjisTexts<kTxtCount, 128> gDriverTexts;
