#pragma once

#include <hostexport.h>

#include <QString>

namespace Log4Qt {

class HOST_EXPORT Level
{
public:
    enum Value {
        NULL_INT = 0,
        ALL_INT = 32,
        TRACE_INT = 64,
        DEBUG_INT = 96,
        INFO_INT = 128,
        WARN_INT = 150,
        ERROR_INT = 182,
        FATAL_INT = 214,
        OFF_INT = 255
    };

    Level(Value value = NULL_INT) : m_value(value) {}

    int toInt() const { return m_value; }
    QString toString() const;

    bool operator==(const Level &other) const { return m_value == other.m_value; }
    bool operator!=(const Level &other) const { return m_value != other.m_value; }
    bool operator<(const Level &other) const { return m_value < other.m_value; }
    bool operator<=(const Level &other) const { return m_value <= other.m_value; }
    bool operator>(const Level &other) const { return m_value > other.m_value; }
    bool operator>=(const Level &other) const { return m_value >= other.m_value; }

private:
    Value m_value;
};

} // namespace Log4Qt
