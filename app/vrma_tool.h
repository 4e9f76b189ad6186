// tarvel-fix --vrma: one motion as a VRM Animation (vrma/vrma_export makes
// the file, as for the page; this tells what it holds; app/fix_tool.cpp walks
// the arguments and writes NAME.vrma under the copy's rules).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

// The motion (size bytes at data) as a VRM Animation into *glb: played on
// the standard skeleton with the arms armAngleDeg below the horizontal (null:
// the skeleton's own), its morphs as expressions. What the file holds goes
// into j (frames, duration, bytes, bones, leftOut, expressions, ik) and into
// text as lines. Returns null, or why there is no file with *status set
// ("not-a-motion", "no-bone-keys", "cut", "too-long", "bad-arm-angle",
// "not-written"); the reason stays valid until the next call.
const char* VrmaToolConvert(const uint8_t* data, size_t size, const double* armAngleDeg,
                            std::vector<unsigned char>* glb, nlohmann::ordered_json* j, std::string* text,
                            std::string* status);
