#pragma once

#include <tr.h>

#include <QDateTime>
#include <QString>
#include <QStringList>

// The lines the host prints for a Velmor operation that went through: the service, what was
// done, the amount in roubles, the order, the time, and for an operation that waits in the
// queue that it is finished later. Texts are looked up in the application's installed
// translations, Russian when there are none; lines are fitted to the receipt printer's width.
class Slip
{
public:
    enum class Operation { Sale, Refund, Cancellation };

    static constexpr int DefaultWidth = 32;

    Slip() = default;
    Slip(Operation operation, qint64 kopecks, const QString &orderId, const QDateTime &when,
         bool queued);

    // The slip's lines at `printWidth` characters (DefaultWidth for 0 or less); `copy` heads
    // them with a line that says this is a copy.
    QStringList lines(int printWidth, bool copy = false) const;

    // Breaks `text` into lines of at most `width` characters: at spaces where it can, inside a
    // word only when the word alone is wider, never between the halves of a surrogate pair.
    static QStringList fitted(const QString &text, int width);

private:
    static QString shown(const tr::Tr &text);
    static tr::Tr operationText(Operation operation);

    Operation m_operation = Operation::Sale;
    qint64 m_kopecks = 0;
    QString m_orderId;
    QDateTime m_when;
    bool m_queued = false;
};
