// The bar decoder pages for a screen reader: every control is announced with
// its own caption or label.
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
            QCOMPARE(spokenCaption(accessibleName(b)), spokenCaption(b->text()));
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
                QCOMPARE(accessibleName(w), spokenCaption(label->text()));
            }
        }
    }
};

QTEST_MAIN(TestDecoderAccess)
#include "tst_decoderaccess.moc"
