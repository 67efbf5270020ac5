// Settings that choose a collection in a local folder, as the settings
// wizard saves them.
#pragma once

#include <string>

#include "settings/IniFile.h"

namespace tunrax::test {

inline void ChooseLocalSource(TIniFile& settings, const std::string& folder) {
    settings.WriteInteger("Einstellungen", "Typ", 0);
    settings.WriteString("Einstellungen", "Verzeichnis", folder);
}

}  // namespace tunrax::test
