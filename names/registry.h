// The name registry's reload before each motion: the sixteen NameTables
// emptied, alias.ini read, the built-in vocabulary registered.
#pragma once

// The first call (and the first after ForgetNameRegistry) reloads in full
// and keeps a copy of the tables it built; later calls put that copy back,
// which gives the same entries in the same groups without reading alias.ini
// and matching the vocabulary again. Tables too large for the copy are
// reloaded in full every time.
void ReloadNameRegistry();
// The next reload is a full one.
void ForgetNameRegistry();
