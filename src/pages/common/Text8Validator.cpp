#include "pages/common/Text8Validator.h"

#include "model/Text8.h"

namespace q5n {

QValidator::State Text8Validator::validate(QString &input, int &) const
{
    return encodable8(input) ? Acceptable : Invalid;
}

} // namespace q5n
