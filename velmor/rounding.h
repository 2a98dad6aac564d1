#pragma once

#include <QString>
#include <QtGlobal>

// Money and quantities as the plug-in counts them: requests carry whole kopecks, receipts and
// the service carry roubles as binary floating point.
namespace velmor {

// Two decimals: adds half a kopeck (in the value's direction) and a further thousandth of a
// kopeck, then truncates toward zero. Halves therefore round away from zero, and so do values
// up to a thousandth of a kopeck below a half, which absorbs binary representation error:
// 1.005, stored as 1.00499999..., rounds to 1.01.
double roundAmount(double value);

// Three decimals: adds half a thousandth (in the value's direction) and truncates toward zero,
// with no allowance for representation error. An exact half rounds away from zero, but one
// stored a little below it rounds toward zero: roundQuantity(1.0005) is 1.0.
double roundQuantity(double value);

// Roubles as whole kopecks, to the nearest kopeck (halves away from zero); 0 for a value that
// is not finite.
qint64 kopecksOf(double roubles);
// Whole kopecks as roubles.
double roublesOf(qint64 kopecks);
// Whole kopecks as roubles with two decimals, "2000.00".
QString roublesText(qint64 kopecks);

} // namespace velmor
