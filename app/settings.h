// The desktop's process-wide settings and the folder of the last extraction: set
// and read by the windows and their commands only; the core takes what it needs as
// parameters.
#pragma once

#include <cstdint>
#include <string>

#include "imaging/conversion.h"

namespace tavro {

struct TAppSettings {
    TTargetFormat TargetFormat = tfBmp;
    std::int32_t PendingFormat = 2;
    std::uint32_t PendingBackColor = 0;            // 0x00BBGGRR
    std::uint32_t DefaultViewerBack = 0xFF000000;  // ARGB
    bool ShowPreview = false;
};

extern TAppSettings AppSettings;
// The target folder of the last extraction, ending with "/"; empty at start.
extern std::string WorkFolder;

// Puts every setting back to its start value.
void SetDefaultSettings();

}  // namespace tavro
