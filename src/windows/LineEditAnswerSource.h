#pragma once

#include "link/AnswerSource.h"

#include <QPointer>

class QLineEdit;

namespace q5n {

// The decoder's typed answers as they arrive in a link window's tiny answer
// box (Text1).
class LineEditAnswerSource : public AnswerSource
{
    Q_OBJECT
public:
    explicit LineEditAnswerSource(QLineEdit *box, QObject *parent = nullptr);

    void prepare() override;
    QString text() const override;

private:
    QPointer<QLineEdit> m_box;
};

} // namespace q5n
