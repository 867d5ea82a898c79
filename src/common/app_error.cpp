#include "app_error.h"

namespace hideaway {

QString errorText(ErrorCode code) {
    for (const ErrorEntry& entry : kErrorTable) {
        if (entry.code == code) {
            return QString::fromLatin1(entry.text);
        }
    }
    return {};
}

AppError::AppError(ErrorCode code, const QString& detail)
    : m_number(static_cast<int>(code)),
      m_description(detail.isEmpty() ? errorText(code)
                                     : errorText(code) + QStringLiteral(": ") + detail),
      m_what(m_description.toUtf8()) {}

}  // namespace hideaway
