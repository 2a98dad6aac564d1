#pragma once

#include "hostexport.h"
#include "tgoodsitem.h"

#include <QSharedPointer>
#include <QVector>

// The host's receipt document as a payment plug-in sees it. Sums are roubles.
class HOST_EXPORT AbstractDocument
{
public:
    virtual ~AbstractDocument();

    virtual double getTotalSum() const = 0;
    virtual double getPrepaidSum() const = 0;
    virtual QVector<QSharedPointer<TGoodsItem>> getGoodsItems() const = 0;
};
