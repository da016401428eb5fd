#include "shell/PageRegistry.h"

#include "shell/MainWindow.h"

namespace q5n {

void registerStandardPages(MainWindow &main)
{
    // One line per window, by page number:
    //   main.registerPage(1, [](MainWindow &m) -> PageWindow * { return new Cfg3Page(m); });
    // and for the test window: main.setKrTestWindowFactory(...).
    (void)main;
}

} // namespace q5n
