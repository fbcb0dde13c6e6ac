// The built-in bay of the demo and the first run: a DVD-ROM reader with
// the sample data CD, a second reader with the sample audio CD, a DVD±RW
// recorder and a BD-RE recorder, and an operator that keeps the recorders
// supplied with blanks. Its sample discs are made by the build.
#pragma once

#include <filesystem>
#include <string_view>

namespace vestrel::sim {

// The description text (simulator/farms/default.txt); its image paths are
// relative to the sample folder.
std::string_view DefaultBayDescription();

}  // namespace vestrel::sim
