// The glTF library (Debian's tiny_gltf.h), as every file of ours includes
// it: no image code and no file system (the front ends write the bytes).
#pragma once
#define TINYGLTF_NO_STB_IMAGE
#define TINYGLTF_NO_STB_IMAGE_WRITE
#define TINYGLTF_NO_EXTERNAL_IMAGE
#define TINYGLTF_NO_FS
#include <tiny_gltf.h>
