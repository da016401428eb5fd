#include "pages/SettingPages.h"

#include "pages/decoder/DecoderPages.h"

namespace q5n {

std::vector<SettingPageDeclaration> settingPages()
{
    // The reader pages join here as they come.
    return decoderPages();
}

} // namespace q5n
