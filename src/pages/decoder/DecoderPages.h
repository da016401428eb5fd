#pragma once

#include "pages/common/SettingPage.h"

#include <vector>

namespace q5n {

// The bar decoder setting pages, one declaration each.
std::vector<SettingPageDeclaration> decoderPages();

} // namespace q5n
