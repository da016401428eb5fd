#include "pages/decoder/DecoderPages.h"

#include "pages/decoder/InterfacePage.h"
#include "shell/MainWindow.h"

namespace q5n {

std::vector<SettingPageDeclaration> decoderPages()
{
    return {
        declarePage<InterfacePage>(),
    };
}

void registerDecoderPages(MainWindow &main)
{
    for (const SettingPageDeclaration &d : decoderPages())
        main.registerPage(d.page, d.create);
}

} // namespace q5n
