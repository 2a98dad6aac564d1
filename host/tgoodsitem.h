#pragma once

#include "hostexport.h"

#include <QString>

// One position of a receipt.
class HOST_EXPORT TGoodsItem
{
public:
    TGoodsItem() = default;

    int getPosnum() const { return m_posnum; }
    QString getArticul() const { return m_articul; }
    QString getName() const { return m_name; }
    double getQuantity() const { return m_quantity; }
    // The quantity a refund receipt returns.
    double getBquant() const { return m_bquant; }
    double getSumb() const { return m_sumb; }

    void setPosnum(int posnum) { m_posnum = posnum; }
    void setArticul(const QString &articul) { m_articul = articul; }
    void setName(const QString &name) { m_name = name; }
    void setQuantity(double quantity) { m_quantity = quantity; }
    void setBquant(double bquant) { m_bquant = bquant; }
    void setSumb(double sumb) { m_sumb = sumb; }

private:
    int m_posnum = 0;
    QString m_articul;
    QString m_name;
    double m_quantity = 0.0;
    double m_bquant = 0.0;
    double m_sumb = 0.0;
};
