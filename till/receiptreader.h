#pragma once

#include <document.h>
#include <result.h>

#include <QByteArray>
#include <QSharedPointer>
#include <QString>

namespace till {

// Reads the current receipt from a JSON file:
//   {"totalSum": 2000.0, "prepaidSum": 0.0, "items": [{"posnum": 1, "articul": "A",
//    "name": "B", "quantity": 1, "bquant": 1, "sumb": 1500.0}]}
// Sums are roubles. Every member is required except "prepaidSum" (0 when absent), and an
// unknown member is an error too: a misspelt key must not quietly turn into a zero sum that
// is then sent to the service.
class ReceiptReader
{
public:
    // Largest sum or quantity accepted; far beyond any receipt, small enough that the
    // conversions to kopecks downstream stay exact.
    static constexpr double MaxValue = 1e10;
    static constexpr qint64 MaxFileSize = 16 * 1024 * 1024;

    // One position of a receipt, as the file states it.
    struct Position
    {
        int posnum = 0;
        QString articul;
        QString name;
        double quantity = 0.0;
        double bquant = 0.0; // how many of them are returned
        double sumb = 0.0;
    };

    // The goods item the host's receipt holds for `position`.
    static QSharedPointer<TGoodsItem> goodsItem(const Position &position);

    // The receipt of the file `fileName`; the failure's text begins "receipt FILE: ".
    static Result<QSharedPointer<Document>> read(const QString &fileName);
    // The same for bytes already in hand; `origin` names them in error messages.
    static Result<QSharedPointer<Document>> parse(const QByteArray &json, const QString &origin);

private:
    static ResultError failure(const QString &origin, const QString &problem);
};

} // namespace till
