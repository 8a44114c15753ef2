#pragma once
// The math and statistics built-ins (MathFunctions.cpp): the elementary functions, rounding, the
// distributions of xrMathUtils, sums, approximate comparison, a text hash and the random numbers. The
// factory of each, in registration order.

#include <type_traits>

#include "functions/FunctionFactory.h"

namespace strand::math {

using xrFunctionFactoryType = std::remove_pointer_t<xrFunctionFactoryFn>;

xrFunctionFactoryType makeAbs;              // abs
xrFunctionFactoryType makeAcos;             // acos
xrFunctionFactoryType makeAsin;             // asin
xrFunctionFactoryType makeAtan;             // atan
xrFunctionFactoryType makeAtan2;            // atan2
xrFunctionFactoryType makeCeiling;          // ceiling
xrFunctionFactoryType makeCos;              // cos
xrFunctionFactoryType makeExp;              // exp
xrFunctionFactoryType makeFloor;            // floor
xrFunctionFactoryType makeLog;              // log
xrFunctionFactoryType makeLog10;            // log10
xrFunctionFactoryType makePower;            // power
xrFunctionFactoryType makeSin;              // sin
xrFunctionFactoryType makeSqrt;             // sqrt
xrFunctionFactoryType makeTan;              // tan
xrFunctionFactoryType makeGaussianPdf;      // gaussianpdf
xrFunctionFactoryType makeGaussianCdf;      // gaussiancdf
xrFunctionFactoryType makeGaussianZ;        // gaussianz
xrFunctionFactoryType makeGaussianP;        // gaussianp
xrFunctionFactoryType makeChiDistribution;  // chidistribution
xrFunctionFactoryType makeTDistribution;    // tdistribution
xrFunctionFactoryType makeIncompleteBeta;   // incompletebeta
xrFunctionFactoryType makeBinomialPdf;      // binomialpdf
xrFunctionFactoryType makeBinomialCdf;      // binomialcdf
xrFunctionFactoryType makeSign;             // sign
xrFunctionFactoryType makeRand;             // rand
xrFunctionFactoryType makeSrand;            // srand
xrFunctionFactoryType makeHashCode;         // hashcode
xrFunctionFactoryType makeApprox;           // approx
xrFunctionFactoryType makeSum;              // sum
xrFunctionFactoryType makeAvg;              // avg
xrFunctionFactoryType makePi;               // pi
xrFunctionFactoryType makeBin;              // bin
xrFunctionFactoryType makeMin;              // min
xrFunctionFactoryType makeMax;              // max
xrFunctionFactoryType makeMod;              // mod

}  // namespace strand::math
