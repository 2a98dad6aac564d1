#include "tr.h"

namespace tr {

Tr::Tr(const QString &text) : m_ru(text) {}

Tr::Tr(const QString &key, const QString &ru) : m_key(key), m_ru(ru) {}

Tr Tr::arg(const Tr &argument) const
{
    Tr result(*this);
    result.m_args.append(argument);
    return result;
}

QString Tr::ru() const
{
    QString text = m_ru;
    for (const Tr &argument : m_args)
        text = text.arg(argument.ru());
    return text;
}

bool Tr::isEmpty() const
{
    return m_key.isEmpty() && m_ru.isEmpty() && m_args.isEmpty();
}

bool Tr::operator==(const Tr &other) const
{
    return m_key == other.m_key && m_ru == other.m_ru && m_args == other.m_args;
}

} // namespace tr
