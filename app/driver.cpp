#include "app/driver.h"

int TarvelMain() { return 0; }
