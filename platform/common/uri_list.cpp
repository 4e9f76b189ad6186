#include "platform/common/uri_list.h"

static int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

static bool StartsWithNoCase(const char* s, int n, const char* head) {
  int i = 0;
  for (; head[i]; i++) {
    if (i >= n) return false;
    char c = s[i];
    if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    if (c != head[i]) return false;
  }
  return true;
}

// One line of the list (without its line break) into dst; false when it is
// not a local file or does not fit.
static bool UriToPath(const char* s, int n, char* dst, int cap) {
  if (!StartsWithNoCase(s, n, "file:")) return false;
  s += 5;
  n -= 5;
  if (n >= 2 && s[0] == '/' && s[1] == '/') {  // authority
    s += 2;
    n -= 2;
    int host = 0;
    while (host < n && s[host] != '/') host++;
    if (host != 0 && !(host == 9 && StartsWithNoCase(s, n, "localhost"))) return false;
    s += host;
    n -= host;
  }
  if (n < 1 || s[0] != '/') return false;
  int o = 0;
  for (int i = 0; i < n; i++) {
    char c = s[i];
    if (c == '?' || c == '#') break;  // query and fragment are not part of the path
    if (c == '%' && i + 2 < n && HexValue(s[i + 1]) >= 0 && HexValue(s[i + 2]) >= 0) {
      c = (char)(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]));
      i += 2;
      if (c == 0) return false;
    }
    if (o >= cap - 1) return false;
    dst[o++] = c;
  }
  dst[o] = 0;
  return true;
}

int UriListToPaths(const char* list, int len, char (*paths)[1024], int max) {
  int count = 0;
  int i = 0;
  while (i < len && list[i] && count < max) {
    int start = i;
    while (i < len && list[i] && list[i] != '\r' && list[i] != '\n') i++;
    int end = i;
    while (i < len && (list[i] == '\r' || list[i] == '\n')) i++;
    // trim blanks around the line
    while (start < end && (list[start] == ' ' || list[start] == '\t')) start++;
    while (end > start && (list[end - 1] == ' ' || list[end - 1] == '\t')) end--;
    if (end == start || list[start] == '#') continue;
    if (UriToPath(list + start, end - start, paths[count], 1024)) count++;
  }
  return count;
}
