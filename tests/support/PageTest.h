#pragma once

// The checks every setting page shares, fed by the page's own tables. A page's
// test derives from PageTest, returns its tables from tables() and adds slots
// only for its own rules:
//
//     class TestSomePage : public q5n::test::PageTest
//     {
//         Q_OBJECT
//         q5n::test::PageTables tables() const override { return {...}; }
//     private Q_SLOTS:
//         void someRuleOfThisPage();
//     };

#include "model/ConfigImage.h"
#include "pages/common/SettingPage.h"
#include "shell/MainWindow.h"
#include "support/TestContext.h"

#include <QObject>
#include <QString>

#include <vector>

namespace q5n::test {

// A shown main window on the factory configuration, with every page of the
// program registered.
struct PageFixture
{
    PageFixture();
    // Page windows go before the main window does, while it can still hear
    // that they are gone.
    ~PageFixture();

    // Opens a page as its menu command does; nullptr when it is no setting page.
    SettingPage *open(int page);
    // Closes the page's window and lets it be deleted.
    bool close(int page);
    ConfigImage &working() { return t.state.workingImage; }

    TestContext t;
    MainWindow main{t.context};
};

// Makes the frame that holds `widget` the page's current one, as a tab click does.
void showFrameOf(SettingPage &page, QWidget *widget);

// What a control shows when the page opens on the factory configuration:
// an option group (by the field's name) shows the caption of its selected
// option ("" for none); a check box or option "checked" or "clear"; a text or
// list box its text.
struct DisplayRow
{
    QString control;
    QString expected;
};

// How a choice is made.
enum class Act {
    Click,         // the button's click
    Space,         // the Space key on the focused control
    Type,          // `text` typed into the emptied box
    TypeTab,       // typed, then the box left with Tab
    TypeEnter,     // typed, then Enter
    TypeClickAway, // typed, then a mouse click on the selected option of the frame
    Pick,          // the list item with the caption `text` picked
    AccessPress,   // the accessibility "press" action, as a screen reader gives it
    AccessToggle,  // the accessibility "toggle" action
};

// A choice on a control and the byte it leaves: `byte` holds `before` when
// the page opens; after the choice it holds `after` and no other byte changed.
struct ChoiceRow
{
    const char *name;
    QString control;
    Act act;
    QString text; // Type, Pick: what is typed or picked
    int byte;
    int before;
    int after;
};

// A "Set Default" button: `byte` holds `before` in the working image and
// `defaultValue` in the default image; after the click it holds `after`.
struct DefaultRow
{
    const char *name;
    QString button;
    int byte;
    int defaultValue;
    int before;
    int after;
};

struct PageTables
{
    int page = 0;
    std::vector<DisplayRow> factoryDisplay;
    std::vector<ChoiceRow> choices;
    std::vector<DefaultRow> defaults;
};

class PageTest : public QObject
{
    Q_OBJECT
protected:
    virtual PageTables tables() const = 0;

private Q_SLOTS:
    // Opening and closing through the menu command: window name and title
    // from the page table, activePage, the menu check mark and the disabled
    // Set All Default item; frame 0 shown; opening on the factory
    // configuration and closing write nothing.
    void pageContract();
    void factoryDisplay_data();
    void factoryDisplay();
    void choices_data();
    void choices();
    void setDefault_data();
    void setDefault();
    // On every tab, Tab walks the controls shown in screen order and enters
    // each option group at its selected option; the keys of tabbed dialogs
    // switch the tabs and keep the focus on the frame shown.
    void focusOrder();
    // A screen reader names every frame, box, option and button by its own
    // caption, and every text and list box by its label.
    void accessibleNames();
    // Every option of every option group, selected through the accessibility
    // interface, writes its value as a click does.
    void everyOptionByAccessibility();
};

} // namespace q5n::test
