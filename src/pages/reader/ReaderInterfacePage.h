#pragma once

#include "pages/common/SettingPage.h"

namespace q5n {

// Page 8, magcfg3 "Interface": the setup texts of the open configuration (the
// same texts the decoder's Interface page edits) and the reader's interface
// mode, external keyboard and read-memory switches.
class ReaderInterfacePage : public SettingPage
{
    Q_OBJECT
public:
    static constexpr int kPage = 8;
    static PageLayout layout();

    explicit ReaderInterfacePage(ProgramHost &host, QWidget *parent = nullptr);
};

} // namespace q5n
