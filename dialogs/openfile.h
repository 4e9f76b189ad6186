// The open-file dialog for a kind of file (4: MMD motion files).
#pragma once

int openfiledlgW(char16_t* dst, int dstcap, int kind, const char16_t* initialpath);
int openfiledlg(char* dst, int dstcap, int kind, const char* initialpath);
