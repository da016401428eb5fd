#pragma once

#include "pages/common/SettingPage.h"

#include <vector>

namespace q5n {

class MainWindow;

// The bar decoder setting pages, one declaration each.
std::vector<SettingPageDeclaration> decoderPages();

// Registers the factories of the bar decoder setting pages with the main window.
void registerDecoderPages(MainWindow &main);

} // namespace q5n
