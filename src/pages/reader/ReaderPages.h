#pragma once

namespace q5n {

class MainWindow;

// Registers the factories of the magnetic reader setting pages with the main window.
void registerReaderPages(MainWindow &main);

} // namespace q5n
