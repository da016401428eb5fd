#pragma once

#include "model/PageTable.h"
#include "pages/common/SettingPage.h"

namespace q5n {

// Page 1, cfg3 "Interface": the setup texts of the open configuration and the
// decoder's interface mode and read-memory switch.
class InterfacePage : public SettingPage
{
    Q_OBJECT
public:
    static constexpr int kPage = Page::DecoderInterface;
    static PageLayout layout();

    explicit InterfacePage(ProgramHost &host, QWidget *parent = nullptr);
};

} // namespace q5n
