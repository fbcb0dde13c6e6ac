// The simulated bay a console tool works on, as its options name it.
#pragma once

#include <filesystem>
#include <string>

#include "simulator/simulator.h"

namespace vestrel {

// The folder of the built-in bay's sample discs: VESTREL_SAMPLES, else
// "samples" beside the program, else the build's own sample folder.
std::filesystem::path SampleFolder(const char* argv0);

// Loads the bay a description file sets up, or the built-in one when
// `file` is null.
bool LoadBay(sim::Simulator& simulator, const char* file, const char* argv0, std::string& error);

}  // namespace vestrel
