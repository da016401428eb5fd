#pragma once

namespace q5n {

class MainWindow;

// The program's composition: registers the factory of every page window, of
// the KR Test window and of the comparisons with the main window. It alone
// knows the shell, the pages and the windows together; a menu item or toolbar
// button whose window is not registered stays disabled.
void registerStandardPages(MainWindow &main);

} // namespace q5n
