#include "pages/SettingPages.h"

#include "pages/decoder/DecoderPages.h"
#include "pages/reader/ReaderPages.h"

namespace q5n {

std::vector<SettingPageDeclaration> settingPages()
{
    std::vector<SettingPageDeclaration> pages = decoderPages();
    for (const SettingPageDeclaration &page : readerPages())
        pages.push_back(page);
    return pages;
}

} // namespace q5n
