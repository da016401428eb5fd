#pragma once

#include "pages/common/SettingPage.h"

#include <vector>

namespace q5n {

// The magnetic reader setting pages, one declaration each.
std::vector<SettingPageDeclaration> readerPages();

} // namespace q5n
