#pragma once

#include <result.h>

#include <QString>
#include <QtGlobal>

namespace tillgui {

// What the cashier types as an amount: roubles, carried on as the whole kopecks a request
// holds (velmor/rounding.h shows them again and converts a receipt's sums).
class RoubleAmount
{
public:
    // Whole roubles, or roubles with one or two decimals after a point or a comma; spaces
    // between digit groups are ignored; the kopecks. Fails, with a sentence for the screen, for
    // anything else, for zero and for more kopecks than a request carries.
    static Result<int> parse(const QString &text);
};

} // namespace tillgui
