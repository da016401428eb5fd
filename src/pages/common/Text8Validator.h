#pragma once

#include <QValidator>

namespace q5n {

// Refuses, where it is typed or pasted, any character that has no byte in the
// program's 8-bit character set; the box then keeps its text as it was.
class Text8Validator : public QValidator
{
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString &input, int &pos) const override;
};

} // namespace q5n
