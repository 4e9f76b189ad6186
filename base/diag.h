// DiagPrint: the sink of every diagnostic message. It discards everything and
// returns 0; a test may install a receiver to see the texts.
#pragma once

int DiagPrint(const char* fmt, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

typedef void (*DiagReceiver)(const char* text);
// Install a receiver (null: discard again). Texts are cut at 1023 bytes.
void DiagSetReceiver(DiagReceiver r);
// Whether a receiver is installed: messages that take work to prepare can be
// skipped when they would be discarded anyway.
bool DiagActive();
