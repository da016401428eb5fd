#pragma once

namespace q5n {

class MainWindow;

// Registers the factories of the bar decoder setting pages with the main window.
void registerDecoderPages(MainWindow &main);

} // namespace q5n
