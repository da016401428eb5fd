#include "support/PageTest.h"

#include "app/PageRegistry.h"
#include "model/Defaults.h"
#include "model/FieldCatalogue.h"
#include "model/PageTable.h"
#include "pages/common/FieldBinding.h"
#include "support/FocusOrder.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QtTest>

Q_DECLARE_METATYPE(q5n::test::Act)

namespace q5n::test {

PageFixture::PageFixture()
{
    t.state.defaultImage = factoryImage();
    t.state.workingImage = t.state.defaultImage;
    t.state.savedImage = t.state.defaultImage;
    t.state.setupInfo.deviceName = QStringLiteral("Device Name");
    t.state.setupInfo.userName = QStringLiteral("User's Name");
    t.state.setupInfo.buildingDate = QStringLiteral("07.12.2026");
    t.state.setupInfo.description = QStringLiteral("Your description about this configuration file");
    t.state.markSaved();
    registerStandardPages(main);
    main.show();
}

PageFixture::~PageFixture()
{
    qDeleteAll(main.mdiArea()->subWindowList());
}

SettingPage *PageFixture::open(int page)
{
    main.openPage(page);
    QMdiSubWindow *sub = main.pageWindow(page);
    return sub ? qobject_cast<SettingPage *>(sub->widget()) : nullptr;
}

bool PageFixture::close(int page)
{
    const bool closed = main.closePage(page);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return closed;
}

void showFrameOf(SettingPage &page, QWidget *widget)
{
    for (int k = 0; k < page.frameCount(); ++k)
        if (page.frame(k)->isAncestorOf(widget))
            page.tabStrip()->setCurrentIndex(k);
}

namespace {

QString shownText(SettingPage &page, const QString &control)
{
    if (auto *group = page.binding<OptionGroupBinding>(control)) {
        QAbstractButton *selected = group->group()->checkedButton();
        return selected ? selected->text() : QString();
    }
    QWidget *w = page.findChild<QWidget *>(control);
    if (!w)
        return QStringLiteral("(no control %1)").arg(control);
    if (auto *edit = qobject_cast<QLineEdit *>(w))
        return edit->text();
    if (auto *box = qobject_cast<QComboBox *>(w))
        return box->currentText();
    if (auto *button = qobject_cast<QAbstractButton *>(w))
        return button->isChecked() ? QStringLiteral("checked") : QStringLiteral("clear");
    return QStringLiteral("(control %1 shows nothing)").arg(control);
}

// Every byte but `byte` is as in `before`.
bool onlyByteChanged(const ConfigImage &before, const ConfigImage &after, int byte, QString *which)
{
    for (int i = 0; i < kImageSize; ++i)
        if (i != byte && before[i] != after[i]) {
            *which = QStringLiteral("byte %1 changed from %2 to %3").arg(i).arg(before[i]).arg(after[i]);
            return false;
        }
    return true;
}

void accessibleAction(QWidget *w, const QString &action)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
    QVERIFY(iface);
    QAccessibleActionInterface *actions = iface->actionInterface();
    QVERIFY(actions);
    QVERIFY2(actions->actionNames().contains(action), qPrintable(actions->actionNames().join(u',')));
    actions->doAction(action);
    // A pressed button clicks once its press has been shown.
    if (auto *button = qobject_cast<QAbstractButton *>(w))
        QTRY_VERIFY(!button->isDown());
}

} // namespace

void PageTest::pageContract()
{
    const PageTables t = tables();
    const PageInfo *info = pageInfo(t.page);
    QVERIFY(info);
    PageFixture f;
    const ConfigImage factory = f.working();
    QAction *item = f.main.menuAction(info->menuItems.front().name);
    QAction *setAll = f.main.menuAction(info->disabledMenuItem);
    QVERIFY(item && setAll);
    QVERIFY(setAll->isEnabled());

    item->trigger();
    QMdiSubWindow *sub = f.main.pageWindow(t.page);
    QVERIFY(sub);
    auto *page = qobject_cast<SettingPage *>(sub->widget());
    QVERIFY(page);
    QCOMPARE(page->objectName(), info->objectName);
    QCOMPARE(page->windowTitle(), info->title);
    QCOMPARE(f.t.state.activePage, qint16(t.page));
    QCOMPARE(item->isChecked(), info->checksMenuItem);
    QVERIFY(!setAll->isEnabled());
    QCOMPARE(page->currentFrame(), 0);
    for (int k = 0; k < page->frameCount(); ++k)
        QCOMPARE(page->frame(k)->isHidden(), k != 0);
    QCOMPARE(f.working(), factory);

    // Every tab shows its frame; nothing is written.
    for (int k = page->frameCount() - 1; k >= 0; --k) {
        page->tabStrip()->setCurrentIndex(k);
        QCOMPARE(page->currentFrame(), k);
        QVERIFY(!page->frame(k)->isHidden());
    }

    QPointer<SettingPage> guard(page);
    item->trigger(); // the open page's command closes it
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(guard.isNull());
    QCOMPARE(f.t.state.activePage, qint16(0));
    QVERIFY(!item->isChecked());
    QVERIFY(setAll->isEnabled());
    QCOMPARE(f.working(), factory);
    QVERIFY(!f.t.state.hasUnsavedChanges());
}

void PageTest::factoryDisplay_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("expected");
    for (const DisplayRow &r : tables().factoryDisplay)
        QTest::newRow(qPrintable(r.control)) << r.control << r.expected;
}

void PageTest::factoryDisplay()
{
    QFETCH(QString, control);
    QFETCH(QString, expected);
    PageFixture f;
    SettingPage *page = f.open(tables().page);
    QVERIFY(page);
    QCOMPARE(shownText(*page, control), expected);
}

void PageTest::choices_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<Act>("act");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    for (const ChoiceRow &r : tables().choices)
        QTest::newRow(r.name) << r.control << r.act << r.text << r.byte << r.before << r.after;
}

void PageTest::choices()
{
    QFETCH(QString, control);
    QFETCH(Act, act);
    QFETCH(QString, text);
    QFETCH(int, byte);
    QFETCH(int, before);
    QFETCH(int, after);
    PageFixture f;
    f.working()[byte] = quint8(before);
    SettingPage *page = f.open(tables().page);
    QVERIFY(page);
    const ConfigImage opened = f.working();
    QWidget *w = page->findChild<QWidget *>(control);
    QVERIFY2(w, qPrintable(control));
    showFrameOf(*page, w);
    QVERIFY(QTest::qWaitForWindowExposed(&f.main));

    switch (act) {
    case Act::Click: {
        auto *button = qobject_cast<QAbstractButton *>(w);
        QVERIFY(button);
        button->click();
        break;
    }
    case Act::Space:
        w->setFocus();
        QTest::keyClick(w, Qt::Key_Space);
        break;
    case Act::Type:
    case Act::TypeTab:
    case Act::TypeEnter:
    case Act::TypeClickAway: {
        QLineEdit *edit = qobject_cast<QLineEdit *>(w);
        if (auto *box = qobject_cast<QComboBox *>(w))
            edit = box->lineEdit();
        QVERIFY(edit);
        QVERIFY(QTest::qWaitForWindowActive(&f.main)); // leaving the box is a real focus change
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
        if (act == Act::TypeTab || act == Act::TypeEnter)
            QTest::keyClick(edit, act == Act::TypeTab ? Qt::Key_Tab : Qt::Key_Return);
        if (act == Act::TypeClickAway) {
            QWidget *frame = page->frame(page->currentFrame());
            const auto options = frame->findChildren<QRadioButton *>();
            const auto away = std::find_if(options.begin(), options.end(), [](QRadioButton *b) {
                return b->isChecked() && b->isVisible() && b->isEnabled();
            });
            QVERIFY(away != options.end());
            QTest::mouseClick(*away, Qt::LeftButton);
        }
        QVERIFY(act == Act::Type || act == Act::TypeEnter || !edit->hasFocus());
        break;
    }
    case Act::Pick: {
        auto *box = qobject_cast<QComboBox *>(w);
        QVERIFY(box);
        const int index = box->findText(text, Qt::MatchExactly);
        QVERIFY2(index >= 0, qPrintable(text));
        // The list opened, the item made current in it, then Enter.
        QVERIFY(QTest::qWaitForWindowActive(&f.main));
        box->setFocus();
        box->showPopup();
        QVERIFY(QTest::qWaitForWindowExposed(box->view()));
        box->view()->setCurrentIndex(box->model()->index(index, 0));
        QTest::keyClick(box->view(), Qt::Key_Return);
        QVERIFY(!box->view()->isVisible());
        break;
    }
    case Act::AccessPress: accessibleAction(w, QAccessibleActionInterface::pressAction()); break;
    case Act::AccessToggle: accessibleAction(w, QAccessibleActionInterface::toggleAction()); break;
    }
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(int(f.working()[byte]), after);
    QString changed;
    QVERIFY2(onlyByteChanged(opened, f.working(), byte, &changed), qPrintable(changed));
}

void PageTest::setDefault_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("defaultValue");
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    for (const DefaultRow &r : tables().defaults)
        QTest::newRow(r.name) << r.button << r.byte << r.defaultValue << r.before << r.after;
}

void PageTest::setDefault()
{
    QFETCH(QString, button);
    QFETCH(int, byte);
    QFETCH(int, defaultValue);
    QFETCH(int, before);
    QFETCH(int, after);
    PageFixture f;
    f.working()[byte] = quint8(before);
    f.t.state.defaultImage[byte] = quint8(defaultValue);
    SettingPage *page = f.open(tables().page);
    QVERIFY(page);
    const ConfigImage opened = f.working();
    QPushButton *b = page->button(button);
    QVERIFY2(b, qPrintable(button));
    showFrameOf(*page, b);
    b->click();
    QCOMPARE(int(f.working()[byte]), after);
    QString changed;
    QVERIFY2(onlyByteChanged(opened, f.working(), byte, &changed), qPrintable(changed));
}

void PageTest::focusOrder()
{
    PageFixture f;
    SettingPage *page = f.open(tables().page);
    QVERIFY(page);
    QVERIFY(QTest::qWaitForWindowExposed(&f.main));
    // Each frame in turn, from a control of the frame before it: Ctrl+Tab and
    // Ctrl+PgDn to the right, then Ctrl+Shift+Tab and Ctrl+PgUp back to the
    // left, both wrapping round; the focus stays on the frame shown.
    const int n = page->frameCount();
    for (int step = 0; step < 2 * n; ++step) {
        const int k = page->currentFrame();
        const QStringList problems = focusOrderProblems(page);
        QVERIFY2(problems.isEmpty(), qPrintable(QStringLiteral("tab %1: ").arg(k) + problems.join(u'\n')));
        QTest::keyClick(page->tabStrip(), Qt::Key_Tab); // into the frame
        QVERIFY(page->frame(k)->isAncestorOf(QApplication::focusWidget()));
        const bool right = step < n;
        QTest::keyClick(QApplication::focusWidget(),
                        right ? (step % 2 ? Qt::Key_PageDown : Qt::Key_Tab)
                              : (step % 2 ? Qt::Key_PageUp : Qt::Key_Backtab),
                        right || step % 2 ? Qt::ControlModifier : Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(page->currentFrame(), (k + (right ? 1 : n - 1)) % n);
        QVERIFY(page->frame(page->currentFrame())->isAncestorOf(QApplication::focusWidget()));
    }
}

void PageTest::accessibleNames()
{
    PageFixture f;
    SettingPage *page = f.open(tables().page);
    QVERIFY(page);
    QHash<QWidget *, QLabel *> labelOf;
    for (QLabel *label : page->findChildren<QLabel *>())
        if (label->buddy())
            labelOf.insert(label->buddy(), label);
    auto name = [](QWidget *w) {
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
        return iface ? iface->text(QAccessible::Name) : QString();
    };
    for (int k = 0; k < page->frameCount(); ++k)
        QVERIFY2(!name(page->frame(k)).isEmpty(), qPrintable(page->frame(k)->objectName()));
    for (QGroupBox *box : page->findChildren<QGroupBox *>())
        QCOMPARE(name(box), spokenCaption(box->title()));
    for (QAbstractButton *button : page->findChildren<QAbstractButton *>())
        if (!button->text().isEmpty())
            QCOMPARE(name(button), spokenCaption(button->text()));
    QList<QWidget *> boxes;
    for (QLineEdit *edit : page->findChildren<QLineEdit *>())
        if (!qobject_cast<QComboBox *>(edit->parentWidget()))
            boxes << edit;
    for (QComboBox *box : page->findChildren<QComboBox *>())
        boxes << box;
    for (QWidget *box : boxes) {
        QLabel *label = labelOf.value(box);
        QVERIFY2(label, qPrintable(box->objectName() + QStringLiteral(" has no label")));
#ifdef Q_OS_UNIX
        // Here a combo box's accessible name is its text; its label reaches the
        // screen reader through the "labelled by" relation.
        if (qobject_cast<QComboBox *>(box)) {
            bool labelled = false;
            for (const auto &relation : QAccessible::queryAccessibleInterface(box)->relations(QAccessible::Label))
                labelled = labelled || relation.first == QAccessible::queryAccessibleInterface(label);
            QVERIFY2(labelled, qPrintable(box->objectName() + QStringLiteral(" is not labelled by its label")));
            continue;
        }
#endif
        QCOMPARE(name(box), spokenCaption(label->text()));
    }
}

void PageTest::everyOptionByAccessibility()
{
    PageFixture f;
    SettingPage *page = f.open(tables().page);
    QVERIFY(page);
    QVERIFY(QTest::qWaitForWindowExposed(&f.main));
    for (const FieldEntry *entry : fieldsOfPage(tables().page)) {
        if (entry->kind != FieldKind::Index && entry->kind != FieldKind::Coded)
            continue;
        for (const FieldOption &o : entry->options) {
            auto *button = qobject_cast<QAbstractButton *>(page->fieldControl(entry->name, o.index));
            QVERIFY2(button, qPrintable(entry->name));
            if (!button->isEnabled())
                continue; // a page rule holds it off
            showFrameOf(*page, button);
            if (button->isChecked())
                continue;
            accessibleAction(button, QAccessibleActionInterface::toggleAction());
            QVERIFY2(button->isChecked(), qPrintable(button->objectName()));
            QCOMPARE(f.working()[entry->byte] & entry->mask, entry->valueOf(o.index));
        }
    }
}

} // namespace q5n::test
