#pragma once

#include "model/Comparison.h"
#include "model/ProgramState.h"

#include <QWidget>

#include <optional>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace q5n {

class ProgramHost;

// The window frmCompare: every setting in which the working configuration
// differs from another one (a file, or what the decoder sent), with both
// values. Activating a row (double-click, Enter) opens the page that shows
// the setting with the focus on it; "Use Other Value" writes the other
// configuration's values of the selected rows into the working configuration.
class CompareWindow : public QWidget
{
    Q_OBJECT
public:
    explicit CompareWindow(ProgramHost &host);

    // What the working configuration is compared with: its image (within
    // `range`) and, for a setup file, its texts and link lines.
    struct Other
    {
        ConfigImage image;
        std::optional<SetupInfo> texts = std::nullopt;
        std::optional<LinkSettings> link = std::nullopt;
        ByteRange range = {};
    };
    // Compares the working configuration with `other`; `otherName` says what
    // the other side is.
    void compare(const QString &otherName, const Other &other);

    const std::vector<SettingDifference> &differences() const { return m_differences; }
    QTreeWidget *list() const { return m_list; }

    // Opens the page of row `row` with the focus on its control.
    void openRow(int row);
    // "Use Other Value" on the selected rows.
    void useOtherValues();
    // Shows the list again from the program state as it is now.
    void refresh();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Coming back to the window shows the list as the configuration now is.
    void changeEvent(QEvent *event) override;

private:
    ProgramHost &m_host;
    QLabel *m_summary = nullptr;
    QTreeWidget *m_list = nullptr;
    QPushButton *m_useOther = nullptr;
    QPushButton *m_close = nullptr;

    std::vector<SettingDifference> differencesNow() const;

    QString m_otherName;
    Other m_other;
    std::vector<SettingDifference> m_differences;
};

} // namespace q5n
