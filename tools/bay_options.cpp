#include "tools/bay_options.h"

#include <cstdlib>

#include "simulator/default_bay.h"

namespace vestrel {

std::filesystem::path SampleFolder(const char* argv0) {
    if (const char* env = std::getenv("VESTREL_SAMPLES"))
        return env;
    std::filesystem::path beside = std::filesystem::path(argv0).parent_path() / "samples";
    if (std::filesystem::exists(beside))
        return beside;
#ifdef VESTREL_SAMPLE_FOLDER
    return VESTREL_SAMPLE_FOLDER;
#else
    return beside;
#endif
}

bool LoadBay(sim::Simulator& simulator, const char* file, const char* argv0, std::string& error) {
    if (file)
        return simulator.LoadFile(file, error);
    return simulator.LoadText(sim::DefaultBayDescription(), SampleFolder(argv0), error);
}

}  // namespace vestrel
