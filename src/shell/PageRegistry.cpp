#include "shell/PageRegistry.h"

#include "windows/TransmitWindow.h"
#include "pages/decoder/DecoderPages.h"
#include "pages/reader/ReaderPages.h"
#include "shell/MainWindow.h"

namespace q5n {

void registerStandardPages(MainWindow &main)
{
    // Each area registers its windows by page number (and the test window
    // through MainWindow::setKrTestWindowFactory).
    registerDecoderPages(main);
    registerReaderPages(main);
    main.registerPage(TransmitWindow::kPage, &createTransmitWindow);
}

} // namespace q5n
