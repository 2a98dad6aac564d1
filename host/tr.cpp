#include "tr.h"

#include <algorithm>

namespace tr {

Tr::Tr(const QString &text) : m_ru(text) {}

Tr::Tr(const QString &key, const QString &ru) : m_key(key), m_ru(ru) {}

Tr Tr::arg(const Tr &argument) const
{
    Tr result(*this);
    result.m_args.append(argument);
    return result;
}

namespace {

// A "%N" marker (N of one or two digits) at `at`: its number and length, or -1.
int markerAt(const QString &text, int at, int *length)
{
    if (text.at(at) != QLatin1Char('%') || at + 1 >= text.size() || !text.at(at + 1).isDigit())
        return -1;
    int number = text.at(at + 1).digitValue();
    *length = 2;
    if (at + 2 < text.size() && text.at(at + 2).isDigit()) {
        number = number * 10 + text.at(at + 2).digitValue();
        *length = 3;
    }
    return number;
}

} // namespace

QString Tr::ru() const
{
    if (m_args.isEmpty())
        return m_ru;

    // One pass over the pattern only: chaining QString::arg would look for markers again in
    // text already substituted, so an argument holding "%1" or "%2" (an order id, a server
    // message) would swallow the next argument.
    QList<int> numbers;
    for (int i = 0; i < m_ru.size(); ++i) {
        int length = 0;
        const int number = markerAt(m_ru, i, &length);
        if (number >= 0 && !numbers.contains(number))
            numbers.append(number);
    }
    std::sort(numbers.begin(), numbers.end());

    QString text;
    text.reserve(m_ru.size());
    for (int i = 0; i < m_ru.size();) {
        int length = 0;
        const int number = markerAt(m_ru, i, &length);
        const int index = number >= 0 ? numbers.indexOf(number) : -1;
        if (index >= 0 && index < m_args.size()) {
            text += m_args.at(index).ru();
            i += length;
        } else {
            text += m_ru.at(i);
            ++i;
        }
    }
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
