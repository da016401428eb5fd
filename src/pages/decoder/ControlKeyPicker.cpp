#include "pages/decoder/ControlKeyPicker.h"

#include "model/Notation.h"
#include "model/PageTable.h"
#include "model/ProgramState.h"
#include "pages/common/SettingPage.h"
#include "pages/common/Text8Validator.h"
#include "shell/AppContext.h"
#include "shell/ProgramHost.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QVBoxLayout>

namespace q5n {

namespace {
// The two Miscellaneous pages whose insertion boxes the picker fills.
constexpr int kDecoderMiscPage = Page::DecoderMisc;
constexpr int kReaderMiscPage = Page::ReaderMisc;
} // namespace

ControlKeyPicker::ControlKeyPicker(ProgramHost &host, QWidget *parent) : QDialog(parent), m_host(host)
{
    setObjectName(QStringLiteral("DlgCtrl"));
    setWindowTitle(QStringLiteral("Control Key"));
    setModal(true);

    auto *outer = new QVBoxLayout(this);
    auto *names = new QGridLayout;
    names->setSpacing(4);
    // Four rows of eight names, in code order.
    for (int code = 0; code < 32; ++code) {
        auto *b = new QPushButton(controlName(code), this);
        b->setObjectName(QStringLiteral("btnCtrl_%1").arg(code));
        b->setAutoDefault(false);
        b->setMinimumWidth(b->fontMetrics().horizontalAdvance(QStringLiteral("WWWW")));
        names->addWidget(b, code / 8, code % 8);
        connect(b, &QPushButton::clicked, this, [this, code] { m_name->setText(controlName(code)); });
    }
    outer->addLayout(names);

    auto *row = new QHBoxLayout;
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("txtCtrl"));
    m_name->setAccessibleName(QStringLiteral("Control Key"));
    m_name->setValidator(new Text8Validator(m_name));
    auto *insert = new QPushButton(QStringLiteral("Insert Control Key"), this);
    insert->setObjectName(QStringLiteral("Command1"));
    insert->setAutoDefault(false);
    auto *exit = new QPushButton(QStringLiteral("Exit"), this);
    exit->setObjectName(QStringLiteral("Command2"));
    exit->setAutoDefault(false);
    row->addWidget(m_name, 1);
    row->addWidget(insert);
    row->addWidget(exit);
    outer->addLayout(row);

    connect(insert, &QPushButton::clicked, this, &ControlKeyPicker::insertName);
    connect(exit, &QPushButton::clicked, this, &ControlKeyPicker::exitToTarget);
}

QLineEdit *ControlKeyPicker::targetBox() const
{
    const ProgramState &state = m_host.context().state;
    QWidget *page = m_host.openWindow(state.readerMode ? kReaderMiscPage : kDecoderMiscPage);
    if (!page)
        return nullptr;
    return page->findChild<QLineEdit *>(state.ctrlKeyTarget ? QStringLiteral("txt694") : QStringLiteral("txt693"));
}

void ControlKeyPicker::insertName()
{
    if (m_name->text().isEmpty())
        return;
    // Replaces the selection, or inserts at the caret; the box's own change
    // handling stores the new text.
    if (QLineEdit *box = targetBox())
        box->insert(QLatin1Char('{') + m_name->text() + QLatin1Char('}'));
    m_name->clear();
}

void ControlKeyPicker::exitToTarget()
{
    QLineEdit *box = targetBox();
    close();
    if (box)
        box->setFocus(Qt::OtherFocusReason);
}

void ControlKeyPicker::run(ProgramHost &host, QWidget *owner, bool prefix)
{
    host.context().state.ctrlKeyTarget = prefix;
    ControlKeyPicker picker(host, owner);
    // The button took the focus and the box dropped its selection: the
    // insertion replaces what the user had marked there.
    if (QLineEdit *box = picker.targetBox())
        for (QWidget *w = box->parentWidget(); w; w = w->parentWidget())
            if (auto *page = qobject_cast<SettingPage *>(w)) {
                page->restoreSelection(box);
                break;
            }
    picker.exec();
}

} // namespace q5n
