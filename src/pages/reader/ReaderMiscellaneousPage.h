#pragma once

#include "pages/common/SettingPage.h"

class QButtonGroup;

namespace q5n {

// Page 7, magcfg6 "Miscellaneous Parameters": the reader's language, the
// prefix and suffix inserted around each track's data and the start and end
// characters of the tracks. Its rule: each insertion box edits the slot of the
// track chosen beside it; which track is page state, not stored.
class ReaderMiscellaneousPage : public SettingPage
{
    Q_OBJECT
public:
    static constexpr int kPage = 7;
    static PageLayout layout();

    explicit ReaderMiscellaneousPage(ProgramHost &host, QWidget *parent = nullptr);

    // The track groups: Opt1Track (prefix) and Opt2Track (suffix).
    QButtonGroup *trackGroup(bool prefix) const;

private:
    static void addTrackChoices(SettingPage &page);
    static void addTrackChoice(SettingPage &page, const QString &box, const QString &name, const QString &field);
};

} // namespace q5n
