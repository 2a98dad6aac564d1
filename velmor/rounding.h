#pragma once

namespace velmor {

// Two decimals, halves away from zero. The extra thousandth of a hundredth absorbs binary
// representation error, so 1.005 rounds to 1.01.
double roundAmount(double value);

// Three decimals, halves away from zero.
double roundQuantity(double value);

} // namespace velmor
