#include "rounding.h"

#include <cmath>
#include <cstdint>

namespace velmor {

namespace {

double sign(double value)
{
    return value > 0 ? 1.0 : (value < 0 ? -1.0 : 0.0);
}

// Truncation toward zero to 64 bits; a value outside that range (or NaN) would be
// undefined, so it is reported as 0 rather than as garbage.
double truncated(double scaled)
{
    if (!std::isfinite(scaled) || std::fabs(scaled) >= 9.2e18)
        return 0.0;
    return double(std::int64_t(scaled));
}

} // namespace

double roundAmount(double value)
{
    const double s = sign(value);
    return truncated((value + 0.005 * s) * 100 + 0.001 * s) / 100;
}

double roundQuantity(double value)
{
    const double s = sign(value);
    return truncated((value + 0.0005 * s) * 1000) / 1000;
}

qint64 kopecksOf(double roubles)
{
    return std::isfinite(roubles) ? std::llround(roubles * 100) : 0;
}

double roublesOf(qint64 kopecks)
{
    return double(kopecks) / 100.0;
}

QString roublesText(qint64 kopecks)
{
    return QString::number(roublesOf(kopecks), 'f', 2);
}

} // namespace velmor
