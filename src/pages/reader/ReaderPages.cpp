#include "pages/reader/ReaderPages.h"

#include "pages/reader/ReaderCommunicationPage.h"
#include "pages/reader/ReaderInterfacePage.h"
#include "pages/reader/ReaderMiscellaneousPage.h"
#include "shell/MainWindow.h"

namespace q5n {

std::vector<SettingPageDeclaration> readerPages()
{
    return {
        declarePage<ReaderInterfacePage>(),
        declarePage<ReaderCommunicationPage>(),
        declarePage<ReaderMiscellaneousPage>(),
    };
}

void registerReaderPages(MainWindow &main)
{
    for (const SettingPageDeclaration &d : readerPages())
        main.registerPage(d.page, d.create);
}

} // namespace q5n
