#include "pages/decoder/DecoderPages.h"

#include "pages/decoder/BarCodesPage.h"
#include "pages/decoder/CommunicationPage.h"
#include "pages/decoder/InterfacePage.h"
#include "pages/decoder/MiscellaneousPage.h"

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

} // namespace q5n
