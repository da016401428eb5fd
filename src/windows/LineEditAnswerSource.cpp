#include "windows/LineEditAnswerSource.h"

#include <QLineEdit>

namespace q5n {

LineEditAnswerSource::LineEditAnswerSource(QLineEdit *box, QObject *parent) : AnswerSource(parent), m_box(box)
{
    connect(box, &QLineEdit::textChanged, this, &AnswerSource::changed);
}

void LineEditAnswerSource::prepare()
{
    if (!m_box)
        return;
    // The decoder's keys go to the focus of the active window. A message box
    // that has just closed (the upload question, the last exchange's result)
    // may leave no window of the program active, and then every typed answer
    // would be lost: the box's window is made active first.
    QWidget *window = m_box->window();
    if (window->isVisible() && !window->isActiveWindow())
        window->activateWindow();
    m_box->setFocus(Qt::OtherFocusReason);
    m_box->clear();
}

QString LineEditAnswerSource::text() const
{
    return m_box ? m_box->text() : QString();
}

} // namespace q5n
