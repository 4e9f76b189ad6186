// The name registry's reload before each motion: the sixteen NameTables
// emptied, alias.ini read, the built-in vocabulary registered.
#pragma once

// The first call (and the first after ForgetNameRegistry) reloads in full
// and keeps a copy of the tables it built; later calls give the same entries
// in the same groups without reading alias.ini and matching the vocabulary
// again: RestoreNameRegistry when the tables still hold the registry, else
// the copy is put back. Tables too large for the copy are reloaded in full
// every time. Each call ends with MarkNameRegistry.
void ReloadNameRegistry();
// The next reload is a full one; the mark is forgotten.
void ForgetNameRegistry();

// The registry as it stands now (call it right after a reload) becomes the
// state RestoreNameRegistry goes back to.
void MarkNameRegistry();
// Drops every name added since the mark (a motion's names), at the cost of
// what was added: 0. -1, changing nothing, when there is no mark or the
// tables no longer hold it (they were reset or cut below it since); then
// reload.
int RestoreNameRegistry();
