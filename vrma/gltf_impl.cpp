// The glTF library's implementation, compiled here once from its header.
// (Its writers to named files stay compiled without the file system
// callbacks and need <fstream>; nothing of ours calls them.)
#include <fstream>
#define TINYGLTF_IMPLEMENTATION
#include "vrma/gltf.h"
