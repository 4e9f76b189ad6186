// The report window program.
#include "app/driver.h"
#include "platform/gtk/gtk_port.h"

int main(int argc, char** argv) {
  if (!GtkPortInit(argc, argv)) return 1;
  return TarvelMain();
}
