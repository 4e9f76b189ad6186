// The report (header lines and lists) and the verdict text.
#pragma once

constexpr int kBoxText = 4096;
extern char boxtext[kBoxText];
extern char16_t boxtextw[kBoxText];

void buildreport();
void buildverdict();
