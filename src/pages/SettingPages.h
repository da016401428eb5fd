#pragma once

#include "pages/common/SettingPage.h"

#include <vector>

namespace q5n {

// Every setting page the program has, of both families.
std::vector<SettingPageDeclaration> settingPages();

} // namespace q5n
