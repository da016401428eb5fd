#include "pages/decoder/DecoderPages.h"

#include "pages/decoder/BarCodesPage.h"
#include "pages/decoder/CommunicationPage.h"
#include "pages/decoder/InterfacePage.h"
#include "pages/decoder/MiscellaneousPage.h"
#include "shell/MainWindow.h"

namespace q5n {

std::vector<SettingPageDeclaration> decoderPages()
{
    return {
        declarePage<InterfacePage>(),
        declarePage<CommunicationPage>(),
        declarePage<BarCodesPage>(),
        declarePage<MiscellaneousPage>(),
    };
}

void registerDecoderPages(MainWindow &main)
{
    for (const SettingPageDeclaration &d : decoderPages())
        main.registerPage(d.page, d.create);
}

} // namespace q5n
