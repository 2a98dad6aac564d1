#pragma once

#include "hostexport.h"

#include <QList>
#include <QString>

namespace tr {

// An operator-visible message: a translation key for the host's catalogue and the Russian
// default text. Arguments stay messages of their own, so that each can be translated too.
class HOST_EXPORT Tr
{
public:
    Tr() = default;
    explicit Tr(const QString &text);
    Tr(const QString &key, const QString &ru);

    // Substitutes the argument for the lowest-numbered "%N" marker still open.
    Tr arg(const Tr &argument) const;

    QString key() const { return m_key; }
    QString ru() const;
    // The arguments in the order given, so that a catalogue can translate each of them.
    const QList<Tr> &args() const { return m_args; }
    bool isEmpty() const;

    bool operator==(const Tr &other) const;
    bool operator!=(const Tr &other) const { return !(*this == other); }

private:
    QString m_key;
    QString m_ru;
    QList<Tr> m_args;
};

} // namespace tr
