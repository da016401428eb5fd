#pragma once

namespace q5n {

class MainWindow;

// Registers the factory of every page window and of the KR Test window that
// the program has with the main window. A menu item or toolbar button whose
// window is not registered stays disabled.
void registerStandardPages(MainWindow &main);

} // namespace q5n
