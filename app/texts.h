// The driver's Japanese texts, written here in UTF-8 and converted to
// Shift-JIS once, on first use, into a slot of their own.
#pragma once

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

// The Shift-JIS form of utf8 (at most 127 bytes), kept in slot id.
const char* Sjis(DriverText id, const char* utf8);
