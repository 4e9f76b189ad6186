// The open-file dialog for a kind of file (4: MMD motion files).
#pragma once

// 0 and the chosen path in dst (when dst is given), or -1 when the dialog was
// cancelled or failed.
int openfiledlgW(char16_t* dst, int dstcap, int kind, const char16_t* initialpath);
int openfiledlg(char* dst, int dstcap, int kind, const char* initialpath);

// The dialog's filter list for a kind: pairs of zero-terminated texts (display
// text, pattern list) ended by an extra zero unit. A pair is added only when
// it fits whole within cap (at most 16256 units). Returns the units used,
// including the final zero.
constexpr int kFilterListMax = 16256;
int buildfilterlistW(char16_t* dst, int cap, int kind);
int buildfilterlist(char* dst, int cap, int kind);
