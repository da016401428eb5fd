#pragma once

#include "model/PageTable.h"
#include "pages/common/SettingPage.h"

namespace q5n {

// Page 3, cfg5 "Bar Codes and Others": which symbologies the decoder reads and the
// options of each.
class BarCodesPage : public SettingPage
{
    Q_OBJECT
public:
    static constexpr int kPage = Page::DecoderBar;
    static PageLayout layout();

    explicit BarCodesPage(ProgramHost &host, QWidget *parent = nullptr);
};

} // namespace q5n
