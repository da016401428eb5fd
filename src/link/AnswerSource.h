#pragma once

#include <QObject>
#include <QString>

namespace q5n {

// Where the decoder's typed answers arrive on the keyboard line: in the
// program, a tiny text box of the link window that holds the focus while an
// answer is awaited; in tests or a command-line tool, anything that collects
// keys. The channel only clears it, reads it and listens to its changes.
class AnswerSource : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Makes the source the receiver of the decoder's keys and empties it.
    virtual void prepare() = 0;
    virtual QString text() const = 0;

Q_SIGNALS:
    // The text changed (a key arrived, or it was cleared).
    void changed();
};

} // namespace q5n
