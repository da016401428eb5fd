#pragma once

#include "pages/common/SettingPage.h"

#include <vector>

namespace q5n {

class MainWindow;

// The magnetic reader setting pages, one declaration each.
std::vector<SettingPageDeclaration> readerPages();

// Registers the factories of the magnetic reader setting pages with the main window.
void registerReaderPages(MainWindow &main);

} // namespace q5n
