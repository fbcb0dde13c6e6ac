#include "engine/image_files.h"

#include "drive/text.h"

namespace vestrel {

uint64_t PlannedImageBytes(bool isData, uint32_t firstLba, uint32_t lastLba) {
    if (lastLba < firstLba)
        return 0;
    return (uint64_t{lastLba} - firstLba + 1) * SectorSize(isData);
}

std::u16string ImageFileName(std::u16string_view folder, char16_t sourceLetter, uint32_t trackIndex,
                             bool isData) {
    return FormatText(u"%s%C%03d.%s", {folder, sourceLetter, trackIndex, isData ? u"iso" : u"wav"});
}

std::u16string HomeImageFolder(std::u16string_view appDataFolder, char16_t separator) {
    if (appDataFolder.empty())
        return {};
    std::u16string folder(appDataFolder);
    for (std::u16string_view part : {u"t4k", u"Temp"}) {
        folder += separator;
        folder += part;
    }
    folder += separator;
    return folder;
}

std::u16string FallbackImageFolder(char16_t driveLetter) {
    std::u16string folder = u"X:\\Temp\\";
    folder[0] = driveLetter;
    return folder;
}

bool ReadFull(File& file, uint8_t* data, size_t size) {
    uint32_t error = 0;
    while (size > 0) {
        const size_t n = file.Read(data, size, error);
        if (n == 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

}  // namespace vestrel
