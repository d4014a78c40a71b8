#pragma once
// Power functions of the colour conversions.
#include <cstdint>

// Base^Exponent for an integral exponent by square-and-multiply (reciprocal for Exponent < 0).
long double RaiseToIntPower(int32_t Exponent, long double Base);
// Exponent 0 gives 1, Base 0 with Exponent > 0 gives 0, integral exponents go through
// RaiseToIntPower, anything else is exp(Exponent * ln Base).
long double RaiseToPower(long double Base, long double Exponent);
// The double version the colour conversions call (exponents 2.4, 1/2.4, 1/3, 3): integral
// exponents by multiplication (Base 0 gives 0, also for negative ones), others 2^(E * log2 Base).
long double RaiseToPowerDouble(double Base, double Exponent);
