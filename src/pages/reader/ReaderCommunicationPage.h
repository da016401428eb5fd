#pragma once

#include "pages/common/SettingPage.h"

namespace q5n {

// Page 6, magcfg4 "Communication Parameters": the reader's RS232 line and
// handshakes, keyboard wedge, output characters and magnetic card options.
// Its rule: the JIS2 card standard disables the track selection, the account
// number switch and the separator, without changing their bytes.
class ReaderCommunicationPage : public SettingPage
{
    Q_OBJECT
public:
    static constexpr int kPage = 6;
    static PageLayout layout();

    explicit ReaderCommunicationPage(ProgramHost &host, QWidget *parent = nullptr);

    // The fields the JIS2 standard disables (with their labels and boxes).
    static const QStringList &tracksOnlyFields();

private:
    static void applyCardStandard(SettingPage &page);
};

} // namespace q5n
