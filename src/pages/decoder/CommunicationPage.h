#pragma once

#include "model/PageTable.h"
#include "pages/common/SettingPage.h"

namespace q5n {

// Page 2, cfg4 "Communication Parameters": the decoder's RS232 line parameters and
// handshakes, the keyboard wedge and the characters that end a transmission.
class CommunicationPage : public SettingPage
{
    Q_OBJECT
public:
    static constexpr int kPage = Page::DecoderComm;
    static PageLayout layout();

    explicit CommunicationPage(ProgramHost &host, QWidget *parent = nullptr);
};

} // namespace q5n
