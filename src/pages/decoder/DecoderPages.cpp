#include "pages/decoder/DecoderPages.h"

#include "pages/decoder/InterfacePage.h"
#include "shell/MainWindow.h"

namespace q5n {

void registerDecoderPages(MainWindow &main)
{
    main.registerPage(InterfacePage::kPage, [](MainWindow &m) { return new InterfacePage(m); });
}

} // namespace q5n
