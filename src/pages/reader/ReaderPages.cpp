#include "pages/reader/ReaderPages.h"

#include "pages/reader/ReaderCommunicationPage.h"
#include "pages/reader/ReaderInterfacePage.h"
#include "pages/reader/ReaderMiscellaneousPage.h"

namespace q5n {

std::vector<SettingPageDeclaration> readerPages()
{
    return {
        declarePage<ReaderInterfacePage>(),
        declarePage<ReaderCommunicationPage>(),
        declarePage<ReaderMiscellaneousPage>(),
    };
}

} // namespace q5n
