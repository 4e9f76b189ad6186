// The report window program.
#include <cstdio>
#include <cstring>

#include "app/driver.h"
#include "platform/gtk/gtk_port.h"

int main(int argc, char** argv) {
  // --version anywhere: the version, before a display is even looked for.
  for (int i = 1; i < argc; i++) {
    if (!strcmp(argv[i], "--version")) {
      printf("tarvel %s\n", TARVEL_VERSION);
      return 0;
    }
  }
  if (!GtkPortInit(argc, argv)) return 1;
  return TarvelMain();
}
