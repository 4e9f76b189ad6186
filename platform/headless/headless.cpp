#include "platform/headless/headless.h"

#include <cstdio>
#include <cstring>

#include "platform/posix/posix_port.h"

HeadlessState gHeadless;

void HeadlessReset() {
  memset(&gHeadless, 0, sizeof gHeadless);
  gHeadless.codePage = 65001;
  gHeadless.langId = 0x0409;
  HeadlessWindowReset();
}

void HeadlessSetArgs(int argc, const char* const* argv) {
  if (argc > kHeadlessMaxArgs) argc = kHeadlessMaxArgs;
  for (int i = 0; i < argc; i++) gHeadless.argv[i] = argv[i];
  gHeadless.argc = argc;
}

void HeadlessQueueAnswer(int answer) {
  if (gHeadless.answerCount < kHeadlessMaxBoxes) gHeadless.answers[gHeadless.answerCount++] = answer;
}

void PortSleep(int ms) {
  gHeadless.clockMs += ms;
  gHeadless.sleeps++;
}

const char16_t* PortCommandLineW() { return gHeadless.cmdlineW; }
const char* PortCommandLineA() { return gHeadless.cmdlineA; }
int PortArgc() { return gHeadless.argc; }
const char* PortArgv(int i) {
  return (i >= 0 && i < gHeadless.argc && gHeadless.argv[i]) ? gHeadless.argv[i] : "";
}

double PortOsVersion() { return gHeadless.osVersion; }
const char* PortOsName() { return "headless"; }
uint32_t PortConsoleOutputCp() { return gHeadless.codePage ? gHeadless.codePage : 65001; }
uint32_t PortConsoleCp() { return PortConsoleOutputCp(); }
uint32_t PortAnsiCodePage() { return PortConsoleOutputCp(); }
uint16_t PortUserLangId() { return gHeadless.langId; }
bool PortIsDbcsLeadByte(unsigned char b) {
  if (PortAnsiCodePage() != 932) return false;
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

static int TakeAnswer() {
  if (gHeadless.answerNext < gHeadless.answerCount) return gHeadless.answers[gHeadless.answerNext++];
  return kIdOk;
}

int PortMessageBoxA(const char* text, const char* title, uint32_t style) {
  int answer = TakeAnswer();
  if (gHeadless.boxCount < kHeadlessMaxBoxes) {
    HeadlessBox& b = gHeadless.boxes[gHeadless.boxCount++];
    b.wide = false;
    b.owned = gHeadlessWindow.exists;
    snprintf(b.text, sizeof b.text, "%s", text);
    snprintf(b.title, sizeof b.title, "%s", title);
    b.style = style;
    b.answer = answer;
  }
  return answer;
}

int PortMessageBoxW(const char16_t* text, const char16_t* title, uint32_t style) {
  int answer = TakeAnswer();
  if (gHeadless.boxCount < kHeadlessMaxBoxes) {
    HeadlessBox& b = gHeadless.boxes[gHeadless.boxCount++];
    b.wide = true;
    b.owned = gHeadlessWindow.exists;
    if (!PathUtf16ToUtf8(b.text, sizeof b.text, text)) b.text[0] = 0;
    if (!PathUtf16ToUtf8(b.title, sizeof b.title, title)) b.title[0] = 0;
    b.style = style;
    b.answer = answer;
  }
  return answer;
}

template <typename Ch>
static void RecordDialog(const Ch* filters, int filterIndex, const Ch* dir, const Ch* name,
                         const Ch* title, bool (*conv)(char*, int, const Ch*)) {
  gHeadless.dialogsShown++;
  gHeadless.dialogFilterIndex = filterIndex;
  char tmp[512];
  gHeadless.dialogFilters[0] = 0;
  for (const Ch* p = filters; p && *p;) {
    if (!conv(tmp, sizeof tmp, p)) break;
    size_t used = strlen(gHeadless.dialogFilters);
    snprintf(gHeadless.dialogFilters + used, sizeof gHeadless.dialogFilters - used, "%s%s",
             used ? "|" : "", tmp);
    while (*p) p++;
    p++;
  }
  if (!dir || !conv(gHeadless.dialogInitialDir, sizeof gHeadless.dialogInitialDir, dir))
    gHeadless.dialogInitialDir[0] = 0;
  if (!name || !conv(gHeadless.dialogInitialName, sizeof gHeadless.dialogInitialName, name))
    gHeadless.dialogInitialName[0] = 0;
  if (!title || !conv(gHeadless.dialogTitle, sizeof gHeadless.dialogTitle, title))
    gHeadless.dialogTitle[0] = 0;
}

static bool CopyNarrow(char* dst, int cap, const char* src) {
  return snprintf(dst, (size_t)cap, "%s", src) < cap;
}

int PortOpenFileDialogW(const PortOpenDialogW* d, char16_t* dst, int cap, uint32_t* error) {
  RecordDialog<char16_t>(d->filters, d->filterIndex, d->initialDir, d->initialName, d->title,
                         PathUtf16ToUtf8);
  if (error) *error = 0;
  if (!gHeadless.dialogChoice || !*gHeadless.dialogChoice) return -1;
  if (!PathUtf8ToUtf16(dst, cap, gHeadless.dialogChoice)) {
    if (error) *error = 0x3003;
    return -1;
  }
  return 0;
}

int PortOpenFileDialogA(const PortOpenDialogA* d, char* dst, int cap, uint32_t* error) {
  RecordDialog<char>(d->filters, d->filterIndex, d->initialDir, d->initialName, d->title, CopyNarrow);
  if (error) *error = 0;
  if (!gHeadless.dialogChoice || !*gHeadless.dialogChoice) return -1;
  if (!CopyNarrow(dst, cap, gHeadless.dialogChoice)) {
    if (error) *error = 0x3003;
    return -1;
  }
  return 0;
}

void PortPumpEvents() {
  gHeadless.pumps++;
  HeadlessWindowPump();
}
