// The bar decoder pages for the keyboard and a screen reader: every control
// is announced with its own caption or label, and Tab follows the screen.
#include "model/PageTable.h"
#include "support/PageTest.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QTabBar>
#include <QtTest>

using namespace q5n;

namespace {

QString accessibleName(QWidget *w)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->text(QAccessible::Name) : QString();
}

bool labelledBy(QWidget *w, QLabel *label)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
    QAccessibleInterface *labelIface = QAccessible::queryAccessibleInterface(label);
    if (!iface || !labelIface)
        return false;
    for (const auto &relation : iface->relations(QAccessible::Label))
        if (relation.first == labelIface)
            return true;
    return false;
}

QString stripAmp(QString text)
{
    return text.remove(QLatin1Char('&'));
}

// A combo box's own parts (its edit, its list) go with the combo box.
bool insideComboBox(QWidget *w)
{
    for (QWidget *p = w->parentWidget(); p; p = p->parentWidget())
        if (qobject_cast<QComboBox *>(p))
            return true;
    return false;
}

// The objectNames of the frame's controls in the order Tab visits them.
QStringList tabOrder(SettingPage &page, int frame)
{
    QStringList names;
    QWidget *first = page.tabStrip();
    for (QWidget *w = first->nextInFocusChain(); w && w != first; w = w->nextInFocusChain())
        if ((w->focusPolicy() & Qt::TabFocus) && page.frame(frame)->isAncestorOf(w) && !insideComboBox(w))
            names << w->objectName();
    return names;
}

} // namespace

class TestDecoderAccess : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void everyControlIsNamed_data()
    {
        QTest::addColumn<int>("page");
        for (int page : {Page::DecoderInterface, Page::DecoderComm, Page::DecoderBar, Page::DecoderMisc})
            QTest::addRow("page %d", page) << page;
    }
    void everyControlIsNamed()
    {
        QFETCH(int, page);
        test::PageFixture f;
        SettingPage *p = f.open(page);
        QVERIFY(p);
        for (QAbstractButton *b : p->findChildren<QAbstractButton *>()) {
            if (qobject_cast<QTabBar *>(b->parentWidget()))
                continue; // the tab bar's scroll buttons
            QCOMPARE(accessibleName(b), stripAmp(b->text()));
        }
        for (QGroupBox *box : p->findChildren<QGroupBox *>())
            QCOMPARE(accessibleName(box), box->title());
        // Text and list boxes carry the text of the label that stands for them.
        for (QWidget *w : p->findChildren<QWidget *>()) {
            if (!qobject_cast<QComboBox *>(w) &&
                !(qobject_cast<QLineEdit *>(w) && !qobject_cast<QComboBox *>(w->parentWidget())))
                continue;
            QLabel *label = nullptr;
            for (QLabel *l : p->findChildren<QLabel *>())
                if (l->buddy() == w)
                    label = l;
            QVERIFY2(label, qPrintable(w->objectName()));
            if (qobject_cast<QComboBox *>(w)) {
                // A combo box's name is its text on this platform; its label
                // is announced through the "labelled by" relation.
                QVERIFY2(labelledBy(w, label), qPrintable(w->objectName()));
            } else {
                QCOMPARE(accessibleName(w), stripAmp(label->text()));
            }
        }
    }

    void tabFollowsTheScreen_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("frame");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("RS232 parameters, two columns")
            << int(Page::DecoderComm) << 0
            << QStringList{"optCfg41A_0", "optCfg41A_1", "optCfg41A_2",  "optCfg41A_3",  "optCfg41D_0",
                           "optCfg41D_1", "optCfg41D_2", "optCfg41D_3",  "optCfg41D_4",  "optCfg41B_0",
                           "optCfg41B_1", "optRTSCTS_0", "optRTSCTS_1",  "optCfg41C_1",  "optCfg41C_0",
                           "optACKNCK_0", "optACKNCK_1", "optXONXOFF_0", "optXONXOFF_1", "cmdDefault41"};
        QTest::newRow("symbologies, two columns")
            << int(Page::DecoderBar) << 0
            << QStringList{"chk51_7", "chk51_6", "chk51_5", "chk51_4",   "chk51_3",
                           "chk51_2", "chk51_1", "chk51_0", "cmdSetAll", "Command1"};
        QTest::newRow("code ID boxes, row by row")
            << int(Page::DecoderMisc) << 1
            << QStringList{"chk62",   "txt62_0", "txt62_1", "txt62_2", "txt62_3",
                           "txt62_4", "txt62_5", "txt62_6", "txt62_7", "cmdDefault62"};
        QTest::newRow("characters edit, boxes where they stand")
            << int(Page::DecoderMisc) << 2
            << QStringList{"cboTruncate1", "Command1", "CboTruncate2", "txt694",  "Command3",
                           "cmd68_69",     "txt693",   "Command2",     "Command4"};
    }
    void tabFollowsTheScreen()
    {
        QFETCH(int, page);
        QFETCH(int, frame);
        QFETCH(QStringList, order);
        test::PageFixture f;
        SettingPage *p = f.open(page);
        QVERIFY(p);
        QCOMPARE(tabOrder(*p, frame), order);
    }
};

QTEST_MAIN(TestDecoderAccess)
#include "tst_decoderaccess.moc"
