#pragma once

#include "pages/common/FieldBinding.h"
#include "shell/PageWindow.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <vector>

class QAbstractButton;
class QGridLayout;
class QLineEdit;
class QPushButton;
class QTabBar;

namespace q5n {

class SettingPage;

// A place in a grid: the frame's own grid, or the grid of a box in it.
struct Cell
{
    int row = 0;
    int column = 0;
    int rowSpan = 1;
    int columnSpan = 1;
    Qt::Alignment alignment = {}; // empty: the control fills its cell
};

// One tab of the page's tab strip and the frame under it.
struct PageTab
{
    QString caption; // with "&" for the access key
    QString tooltip;
    QString frameCaption; // empty: the frame has no caption of its own
};

// A captioned box inside a frame that groups several fields (for example
// two check boxes under "Reading Type").
struct BoxPlacement
{
    QString key; // how fields refer to it
    QString caption;
    int frame = 0;
    Cell cell;
    QString name = {}; // objectName, when the box has one
};

// Where one catalogue entry stands on the page.
struct FieldPlacement
{
    QString field; // catalogue name of the entry (on this page)
    int frame = 0;
    Cell cell; // in the frame's grid, or in the box's grid when `box` is set
    // Option groups and bit-sets: the option indexes as they stand on screen,
    // row by row (-1 leaves a gap). Empty: one column in index order. A field
    // may be placed more than once, each placement with some of its members.
    std::vector<std::vector<int>> arrangement = {};
    QString box = {}; // key of a BoxPlacement to stand in, or empty
    // Option groups standing on their own get a box captioned with the
    // entry's caption; this names that box.
    QString groupBoxName = {};
    // Text and character boxes: the label stands above the box, not to its left.
    bool labelAbove = false;
    CharacterBinding::Rule characterRule = CharacterBinding::Rule::OneCharacterOrMessage;
    // Option groups: false when the group stands directly in a frame whose
    // caption already names it, without a box of its own.
    bool ownBox = true;
};

// A push button of a frame: a "Set Default" button names the fields it
// restores, in order; any other button gives its action.
struct ButtonPlacement
{
    QString name;
    QString caption;
    int frame = 0;
    Cell cell;
    std::vector<QString> restores = {};
    std::function<void(SettingPage &)> action = {};
    QString box = {};
};

// Everything a setting page is: its window identity, its tabs, and one table
// of fields and one of buttons.
struct PageLayout
{
    PageWindow::Definition window;
    QString tabStrip;   // objectName of the tab strip, e.g. "TabCFG"
    QString frameGroup; // name of the indexed frames, e.g. "fraCfg3" (frame k is "fraCfg3_k")
    std::vector<PageTab> tabs;
    std::vector<BoxPlacement> boxes;
    std::vector<FieldPlacement> fields;
    std::vector<ButtonPlacement> buttons;
    // The page's own rules between fields: runs once every field is shown
    // from the program state, when the page opens. A rule usually reads
    // fields, sets widgets and connects to SettingPage::fieldWritten.
    std::function<void(SettingPage &)> afterShow = {};
};

// The caption as a screen reader says it: without access-key marks, blanks
// at its ends and a closing colon.
QString spokenCaption(const QString &caption);

// What is wrong with a layout (an empty list when it is sound): a placement
// that names no field of its page, a field of the page or an option placed
// never or twice, a frame, box or option that does not exist, a button that
// restores a field the page does not have.
QStringList layoutProblems(const PageLayout &layout);

// A setting page as the program registers it: its number, its layout and how
// its window is made.
struct SettingPageDeclaration
{
    int page = 0;
    PageLayout (*layout)() = nullptr;
    PageWindow *(*create)(ProgramHost &) = nullptr;
};

// The declaration of a page class P with `kPage`, `static PageLayout layout()`
// and a constructor P(ProgramHost &).
template <class P> SettingPageDeclaration declarePage()
{
    return {P::kPage, &P::layout, [](ProgramHost &host) -> PageWindow * { return new P(host); }};
}

// The behaviour every setting page shares: a tab strip over indexed frames,
// one binding per catalogue entry, shown from the program state when the page
// opens and written at every change, and "Set Default" buttons.
class SettingPage : public PageWindow
{
    Q_OBJECT
public:
    SettingPage(ProgramHost &host, const PageLayout &layout, QWidget *parent = nullptr);

    // Index of the frame shown.
    int currentFrame() const { return m_currentFrame; }
    QTabBar *tabStrip() const { return m_tabs; }
    int frameCount() const { return int(m_frames.size()); }
    QWidget *frame(int index) const;

    FieldBinding *binding(const QString &field) const;
    template <class T> T *binding(const QString &field) const { return qobject_cast<T *>(binding(field)); }
    QPushButton *button(const QString &name) const;

    // The widgets of a field, for the page's rules. The control: the text or
    // list box, the check box of a flag, or (with `option`) one member of an
    // option group or bit-set; nullptr when there is none.
    QWidget *fieldControl(const QString &field, int option = -1) const;
    // Every widget made for the field: its controls, labels and own box.
    QList<QWidget *> fieldWidgets(const QString &field) const;
    // Enables or disables every widget of the field.
    void setFieldEnabled(const QString &field, bool enabled);
    // The field whose text or list box last had the focus (empty: none yet),
    // where a picker puts what it picks.
    QString lastFocusedField() const { return m_lastFocusedField; }
    // Gives a text box back the selection (or caret) it had when the focus
    // last left it, as long as its text is still the one it held then: a
    // picker opened by a button inserts where the user had marked.
    void restoreSelection(QLineEdit *box) const;
    // The first control of a frame that the Tab key stops at; nullptr when none.
    QWidget *firstStop(int frame) const;

Q_SIGNALS:
    // A field wrote its value into the program state (a user's change, a
    // shown value, a restored default).
    void fieldWritten(const QString &field);

public:
    // The set-default algorithm over the fields a button restores.
    void restoreDefaults(const std::vector<QString> &fields);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // The page itself holds no input: the focus it is given goes on to the
    // first control of the frame shown.
    void focusInEvent(QFocusEvent *event) override;

    // Tab switching: show the frame of tab position p, then hide the frame
    // shown, then remember the new one. Selecting the shown tab does nothing.
    // A focus inside the frame that is hidden moves to the frame shown.
    void selectTab(int position);
    // Shows the frame `step` tabs to the right (negative: to the left),
    // wrapping around at either end.
    void stepTab(int step);

private:
    void build(const PageLayout &layout);
    QGridLayout *gridOf(int frame, const QString &box) const;
    void placeField(const FieldPlacement &placement, const FieldEntry &entry, std::map<int, QAbstractButton *> &members,
                    QWidget *&box);

    QTabBar *m_tabs = nullptr;
    std::vector<QWidget *> m_frames;
    std::vector<QGridLayout *> m_frameGrids;
    std::map<QString, QGridLayout *> m_boxGrids;
    std::vector<std::pair<QString, FieldBinding *>> m_bindings; // in show order
    std::map<QString, QPushButton *> m_buttons;
    struct FieldWidgets
    {
        QWidget *control = nullptr;
        std::map<int, QAbstractButton *> options;
        QList<QWidget *> all;
    };
    std::map<QString, FieldWidgets> m_fieldWidgets;
    QString m_lastFocusedField;
    struct KeptSelection
    {
        QString text;
        int start = -1; // -1: no selection, only the caret
        int length = 0;
        int cursor = 0;
    };
    std::map<QString, KeptSelection> m_keptSelections; // by field name
    int m_currentFrame = 0;
};

} // namespace q5n
