#pragma once

#include <tr.h>

#include <QDateTime>
#include <QJsonObject>
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

    // "sale", "refund", "cancellation": how the journal's note names an operation.
    static QString operationName(Operation operation);
    // The operation `name` names; false for any other name.
    static bool operationNamed(const QString &name, Operation *operation);
    // What the journal keeps to print the slip again: the time, whether it was queued and the
    // width it was printed at. The operation, the amount and the order are the entry's own.
    QJsonObject toJson(int printWidth) const;
    // The slip toJson() kept; `width` is set to the width it was printed at.
    static Slip fromJson(Operation operation, qint64 kopecks, const QString &orderId,
                         const QJsonObject &json, int *width);

    // The slip's lines at `printWidth` characters (DefaultWidth for 0 or less); `copy` heads
    // them with a line that says this is a copy.
    QStringList lines(int printWidth, bool copy = false) const;

    // Breaks `text` into lines of at most `width` characters: at spaces where it can, inside a
    // word only when the word alone is wider, never between the halves of a surrogate pair.
    static QStringList fitted(const QString &text, int width);
    // `text` as the application's installed translations give it, Russian when they do not.
    static QString shown(const tr::Tr &text);
    // "Сумма: 2000.00 руб." for 200000.
    static QString amountLine(qint64 kopecks);
    static tr::Tr operationText(Operation operation);

private:
    Operation m_operation = Operation::Sale;
    qint64 m_kopecks = 0;
    QString m_orderId;
    QDateTime m_when;
    bool m_queued = false;
};
