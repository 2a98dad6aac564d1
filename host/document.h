#pragma once

#include "abstractdocument.h"

// A receipt that the till and the tests fill in.
class HOST_EXPORT Document : public AbstractDocument
{
public:
    Document() = default;

    double getTotalSum() const override { return m_totalSum; }
    double getPrepaidSum() const override { return m_prepaidSum; }
    QVector<QSharedPointer<TGoodsItem>> getGoodsItems() const override { return m_items; }

    void setTotalSum(double sum) { m_totalSum = sum; }
    void setPrepaidSum(double sum) { m_prepaidSum = sum; }
    void setGoodsItems(const QVector<QSharedPointer<TGoodsItem>> &items) { m_items = items; }
    void addGoodsItem(const QSharedPointer<TGoodsItem> &item) { m_items.append(item); }

private:
    double m_totalSum = 0.0;
    double m_prepaidSum = 0.0;
    QVector<QSharedPointer<TGoodsItem>> m_items;
};
