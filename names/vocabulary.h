// The built-in bone and morph vocabulary registered into tables 1 and 2.
#pragma once

void RegisterBuiltinNames();
