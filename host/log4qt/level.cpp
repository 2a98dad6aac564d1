#include "level.h"

namespace Log4Qt {

QString Level::toString() const
{
    switch (m_value) {
    case NULL_INT:
        return QStringLiteral("NULL");
    case ALL_INT:
        return QStringLiteral("ALL");
    case TRACE_INT:
        return QStringLiteral("TRACE");
    case DEBUG_INT:
        return QStringLiteral("DEBUG");
    case INFO_INT:
        return QStringLiteral("INFO");
    case WARN_INT:
        return QStringLiteral("WARN");
    case ERROR_INT:
        return QStringLiteral("ERROR");
    case FATAL_INT:
        return QStringLiteral("FATAL");
    case OFF_INT:
        return QStringLiteral("OFF");
    }
    return QString::number(m_value);
}

} // namespace Log4Qt
