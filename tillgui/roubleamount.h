#pragma once

#include <QString>
#include <QtGlobal>

// Amounts on the cashier's screen: typed and shown in roubles with two decimals, carried in
// kopecks everywhere behind it (the processing request's amount, a refund's sum).
class RoubleAmount
{
public:
    // "2000.00": two decimals after a point, no grouping.
    static QString text(qint64 kopecks);
    // A receipt's sum in roubles, rounded to the kopeck as the plug-in rounds amounts.
    static qint64 kopecks(double roubles);
    // What the cashier typed: whole roubles, or roubles with one or two decimals after a point
    // or a comma; spaces between digit groups are ignored. False, with `error` set to a sentence
    // for the screen, for anything else, for zero and for more kopecks than a request carries.
    static bool parse(const QString &text, int *kopecks, QString *error);
};
