#include "app/settings.h"

namespace tavro {

TAppSettings AppSettings;
std::string WorkFolder;

void SetDefaultSettings() { AppSettings = TAppSettings{}; }

}  // namespace tavro
