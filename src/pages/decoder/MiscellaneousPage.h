#pragma once

#include "model/PageTable.h"
#include "pages/common/SettingPage.h"

namespace q5n {

// Page 4, cfg6 "Miscellaneous Parameters": language, code ID characters, truncation
// counts and the prefix and suffix insertions.
class MiscellaneousPage : public SettingPage
{
    Q_OBJECT
public:
    static constexpr int kPage = Page::DecoderMisc;
    static PageLayout layout();

    explicit MiscellaneousPage(ProgramHost &host, QWidget *parent = nullptr);
};

} // namespace q5n
