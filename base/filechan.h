// The two process-wide byte channels: the FileReader (one file at a time,
// 8192-byte buffer in OS-handle mode) and the FileWriter.
#pragma once
#include <cstdint>

// Reader opens: 0 on success, -1 on failure. The quiet forms give no message.
// Only regular files open; a FIFO, a device or a folder is refused at once.
int rfopenW(const char16_t* path);       // reporting form
int rfopen(const char* path);            // reporting form
int rfopenWquiet(const char16_t* path);
int rfopenquiet(const char* path);
void rfclose();
int rfgetc();                            // 0..255 or -1
uint32_t rfgetlong();
float rfgetfloat();
int rfread(void* dst, int n);
// Offsets and the position are 64-bit: files may pass 4 GiB.
int rfseekset(int64_t offset);           // 0 or -2
int rfseek(int64_t offset, int origin);  // 0, -2, -4, -5
int64_t rftell();
int rfeof();                             // -1 closed or ended, 0 readable
intptr_t rfhandle();
// Test hook: back to the start state (closes any file).
void rfreset();

// Writer opens create a new file: a name that exists in any form is refused.
int wfopen(const char* path);            // 0 or -1
int wfopenW(const char16_t* path);       // 0 or -1 (UTF-16 path)
int wfputc(int byte);                    // 0 or -1
int wfputshort(uint16_t v);              // wfeof()
int wfputlong(uint32_t v);               // wfeof()
void wfclose();
int wfeof();                             // 0 open, -1 closed
uint32_t wfcount();
// Test hook: back to the start state (closes any file, count 0).
void wfreset();

// Font stream served by the reader (used by the text renderer). Opaque to
// this module's users apart from these calls; see display/.
struct FontStreamRec {
  uint32_t size;
  uint32_t pos;
  intptr_t descriptor;
};
// 0, or 1 (cannot open), or 0x51 (empty file).
int fsopen(FontStreamRec* s, const char16_t* path);
// Read callback: bytes placed, or 1 for a seek past the end with count 0.
unsigned long fsread(FontStreamRec* s, unsigned long offset, unsigned char* buf,
                     unsigned long count);
void fsclose(FontStreamRec* s);
