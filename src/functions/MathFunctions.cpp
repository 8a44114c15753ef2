// The math and statistics built-ins. The pure functions are one small function each, carried by four
// node classes that hold a plain pointer to it, so that a math built-in is one table row and one
// function. Every argument is read as a number; every result is a double except approx's boolean.
//
// A computation fails with "invalid parameter to function." only where it has no value to give: an
// overflow from finite arguments (exp(1000)) or a domain error the function does not define (sin of an
// infinity). NaN and the infinities a function defines (sqrt(-1), log(0), power(0, -1)) are results,
// and so is an underflow to 0 or a subnormal. Nothing is read from errno, which argument evaluation and
// harmless underflows also set.

#include "functions/MathFunctions.h"

#include <chrono>
#include <cmath>
#include <limits>
#include <optional>

#include "functions/FunctionNode.h"
#include "host/Locks.h"
#include "host/xrMathUtils.h"

using strand::ExpressionContext;
using strand::truncToInt32;
using strand::xrMathUtils;

namespace {

using Result = std::optional<double>;
using Math1 = Result (*)(double);
using Math2 = Result (*)(double, double);
using Math3 = Result (*)(double, double, double);

constexpr double kEpsilon = std::numeric_limits<double>::epsilon();
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// An infinite result of finite arguments is an overflow, not a value.
Result unlessOverflow(double result, double x, double y = 0) {
    if (std::isinf(result) && std::isfinite(x) && std::isfinite(y))
        return std::nullopt;
    return result;
}

// The circular functions have no value at the infinities.
template <double (*F)(double)>
Result circular(double x) {
    if (std::isinf(x))
        return std::nullopt;
    return F(x);
}

double cosOf(double x) {
    return std::cos(x);
}
double sinOf(double x) {
    return std::sin(x);
}
double tanOf(double x) {
    return std::tan(x);
}

Result absOf(double x) {
    return std::fabs(x);
}
Result acosOf(double x) {
    return std::acos(x);  // NaN beyond [-1, 1]
}
Result asinOf(double x) {
    return std::asin(x);
}
Result atanOf(double x) {
    return std::atan(x);
}
Result ceilingOf(double x) {
    return std::ceil(x);
}
Result floorOf(double x) {
    return std::floor(x);
}
Result expOf(double x) {
    return unlessOverflow(std::exp(x), x);
}
// NaN below 0, minus infinity at 0.
Result logOf(double x) {
    return std::log(x);
}
Result log10Of(double x) {
    return std::log10(x);
}
Result sqrtOf(double x) {
    return std::sqrt(x);
}
// 1 above the double epsilon, -1 below its negative, else 0 (NaN too).
Result signOf(double x) {
    if (x > kEpsilon)
        return 1.0;
    if (x < -kEpsilon)
        return -1.0;
    return 0.0;
}
Result gaussianZOf(double x) {
    return xrMathUtils::Z_26_2_1(x);
}
Result gaussianPOf(double x) {
    return xrMathUtils::P_26_2_17(x);
}

Result atan2Of(double y, double x) {
    return std::atan2(y, x);
}
// Zero to a negative power is plus infinity, whatever the sign of the zero; a negative number to a
// power that is not whole is NaN.
Result powerOf(double x, double y) {
    if (x == 0 && y < 0)
        return kInfinity;
    if (x < 0 && std::isfinite(y) && y != std::trunc(y))
        return kNaN;
    return unlessOverflow(std::pow(x, y), x, y);
}
Result chiDistributionOf(double x, double y) {
    return xrMathUtils::ChiP(x, truncToInt32(y));
}
Result tDistributionOf(double x, double y) {
    return xrMathUtils::A_26_7(x, truncToInt32(y));
}
// The bin of width w that x falls in, bins centred on the multiples of w.
Result binOf(double x, double w) {
    double q = (x + w * 0.5) / w;
    if (q < 0)
        q -= 1;
    return double(truncToInt32(q)) * w;
}
// An unordered pair (a NaN) gives the second argument to min and the first to max.
Result minOf(double x, double y) {
    return x >= y || std::isunordered(x, y) ? y : x;
}
Result maxOf(double x, double y) {
    return x >= y || std::isunordered(x, y) ? x : y;
}

Result gaussianPdfOf(double x, double mean, double sd) {
    return xrMathUtils::GaussianPDF(x, mean, sd);
}
Result gaussianCdfOf(double x, double mean, double sd) {
    return xrMathUtils::GaussianCDF(x, mean, sd);
}
Result incompleteBetaOf(double x, double a, double b) {
    return xrMathUtils::IncompleteBeta(x, truncToInt32(a), truncToInt32(b));
}
Result binomialPdfOf(double k, double n, double p) {
    return xrMathUtils::BinomialPDF(truncToInt32(k), truncToInt32(n), p);
}
Result binomialCdfOf(double k, double n, double p) {
    return xrMathUtils::BinomialCDF(truncToInt32(k), truncToInt32(n), p);
}

// The node classes of the pure functions: the arguments in order, then the function.
template <typename Function>
class xrMathExprBase : public xrFunctionExprImp<xrNumericExprImp> {
  public:
    xrMathExprBase(int32_t line, const xrArguments& arguments, Function function)
        : xrFunctionExprImp(line, arguments), m_function(function) {}

  protected:
    double checked(Result result) const {
        if (!result)
            throw error(u"invalid parameter to function.");
        return *result;
    }

    Function m_function;
};

class xrMath1ExprImp final : public xrMathExprBase<Math1> {
  public:
    using xrMathExprBase::xrMathExprBase;
    double AsDouble(ExpressionContext& ctx) override { return checked(m_function(numberArg(ctx, 0))); }
};

class xrMath2ExprImp final : public xrMathExprBase<Math2> {
  public:
    using xrMathExprBase::xrMathExprBase;
    double AsDouble(ExpressionContext& ctx) override {
        const double x = numberArg(ctx, 0);
        const double y = numberArg(ctx, 1);
        return checked(m_function(x, y));
    }
};

class xrMath3ExprImp final : public xrMathExprBase<Math3> {
  public:
    using xrMathExprBase::xrMathExprBase;
    double AsDouble(ExpressionContext& ctx) override {
        const double x = numberArg(ctx, 0);
        const double y = numberArg(ctx, 1);
        const double z = numberArg(ctx, 2);
        return checked(m_function(x, y, z));
    }
};

// mod(x, y): the remainder of the truncated integers, its sign that of x; NaN when y truncates to 0.
// The one quotient that overflows, -2147483648 / -1, leaves no remainder.
Result modOf(double x, double y) {
    const int64_t a = truncToInt32(x);
    const int64_t b = truncToInt32(y);
    if (b == 0)
        return kNaN;
    return double(a % b);
}

class xrModExprImp final : public xrMathExprBase<Math2> {
  public:
    xrModExprImp(int32_t line, const xrArguments& arguments) : xrMathExprBase(line, arguments, &modOf) {}
    double AsDouble(ExpressionContext& ctx) override {
        const double x = numberArg(ctx, 0);
        const double y = numberArg(ctx, 1);
        return checked(m_function(x, y));
    }
};

// sum(x, ...), avg(x, ...)
template <bool Average>
class xrSumExprImp final : public xrFunctionExprImp<xrNumericExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    double AsDouble(ExpressionContext& ctx) override {
        double sum = 0.0;
        for (size_t i = 0; i < argCount(); ++i)
            sum += numberArg(ctx, i);
        return Average ? sum / double(argCount()) : sum;
    }
};

// pi(): 3.14159, no more digits than that.
class xrPiExprImp final : public xrFunctionExprImp<xrNumericExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    double AsDouble(ExpressionContext&) override { return 3.14159; }
};

// rand(): uniform in [0, 1) from the evaluation's random source.
class xrRandExprImp final : public xrFunctionExprImp<xrNumericExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    double AsDouble(ExpressionContext& ctx) override { return ctx.getRandomDouble(); }
};

// The seed of an srand() without a seed: the process's counter, started from a millisecond clock and
// advanced by 1 at every call, so that no two calls seed alike even within one millisecond.
uint32_t nextProcessSeed() {
    static strand::ForcedCriticalSection lock;
    static uint32_t counter = 0;
    strand::Guard guard(lock);
    if (counter == 0) {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        counter = uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    } else {
        ++counter;
    }
    return counter;
}

// srand([seed])
class xrSrandExprImp final : public xrFunctionExprImp<xrVoidExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        const uint32_t seed = hasArg(0) ? uint32_t(intArg(ctx, 0)) : nextProcessSeed();
        ctx.seedRandom(seed);
    }
};

// hashcode(text): h * 31 + the low 8 bits of each code unit, in 32 bits, read as signed.
class xrHashCodeExprImp final : public xrFunctionExprImp<xrNumericExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    double AsDouble(ExpressionContext& ctx) override {
        uint32_t h = 0;
        for (char16_t c : textArg(ctx, 0))
            h = h * 31 + (c & 0xFF);
        return double(int32_t(h));
    }
};

// approx(x, y, t): x within t of y, the sign of t aside; false when anything is NaN.
class xrApproxExprImp final : public xrFunctionExprImp<xrBooleanExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    bool AsBool(ExpressionContext& ctx) override {
        const double x = numberArg(ctx, 0);
        const double y = numberArg(ctx, 1);
        const double t = numberArg(ctx, 2);
        const double low = y - t, high = y + t;
        return (low <= x && x <= high) || (high <= x && x <= low);
    }
};

}  // namespace

namespace strand::math {

#define STRAND_MATH_FACTORY(factory, node, function)                                              \
    xrNodeRef factory(int32_t line, xrExpressionVariableFactory&, const xrArguments& arguments) { \
        return xrNodeRef(new node(line, arguments, function));                                    \
    }

STRAND_MATH_FACTORY(makeAbs, xrMath1ExprImp, &absOf)
STRAND_MATH_FACTORY(makeAcos, xrMath1ExprImp, &acosOf)
STRAND_MATH_FACTORY(makeAsin, xrMath1ExprImp, &asinOf)
STRAND_MATH_FACTORY(makeAtan, xrMath1ExprImp, &atanOf)
STRAND_MATH_FACTORY(makeAtan2, xrMath2ExprImp, &atan2Of)
STRAND_MATH_FACTORY(makeCeiling, xrMath1ExprImp, &ceilingOf)
STRAND_MATH_FACTORY(makeCos, xrMath1ExprImp, &circular<cosOf>)
STRAND_MATH_FACTORY(makeExp, xrMath1ExprImp, &expOf)
STRAND_MATH_FACTORY(makeFloor, xrMath1ExprImp, &floorOf)
STRAND_MATH_FACTORY(makeLog, xrMath1ExprImp, &logOf)
STRAND_MATH_FACTORY(makeLog10, xrMath1ExprImp, &log10Of)
STRAND_MATH_FACTORY(makePower, xrMath2ExprImp, &powerOf)
STRAND_MATH_FACTORY(makeSin, xrMath1ExprImp, &circular<sinOf>)
STRAND_MATH_FACTORY(makeSqrt, xrMath1ExprImp, &sqrtOf)
STRAND_MATH_FACTORY(makeTan, xrMath1ExprImp, &circular<tanOf>)
STRAND_MATH_FACTORY(makeGaussianPdf, xrMath3ExprImp, &gaussianPdfOf)
STRAND_MATH_FACTORY(makeGaussianCdf, xrMath3ExprImp, &gaussianCdfOf)
STRAND_MATH_FACTORY(makeGaussianZ, xrMath1ExprImp, &gaussianZOf)
STRAND_MATH_FACTORY(makeGaussianP, xrMath1ExprImp, &gaussianPOf)
STRAND_MATH_FACTORY(makeChiDistribution, xrMath2ExprImp, &chiDistributionOf)
STRAND_MATH_FACTORY(makeTDistribution, xrMath2ExprImp, &tDistributionOf)
STRAND_MATH_FACTORY(makeIncompleteBeta, xrMath3ExprImp, &incompleteBetaOf)
STRAND_MATH_FACTORY(makeBinomialPdf, xrMath3ExprImp, &binomialPdfOf)
STRAND_MATH_FACTORY(makeBinomialCdf, xrMath3ExprImp, &binomialCdfOf)
STRAND_MATH_FACTORY(makeSign, xrMath1ExprImp, &signOf)
STRAND_BUILTIN_FACTORY(makeRand, xrRandExprImp)
STRAND_BUILTIN_FACTORY(makeSrand, xrSrandExprImp)
STRAND_BUILTIN_FACTORY(makeHashCode, xrHashCodeExprImp)
STRAND_BUILTIN_FACTORY(makeApprox, xrApproxExprImp)
STRAND_BUILTIN_FACTORY(makeSum, xrSumExprImp<false>)
STRAND_BUILTIN_FACTORY(makeAvg, xrSumExprImp<true>)
STRAND_BUILTIN_FACTORY(makePi, xrPiExprImp)
STRAND_MATH_FACTORY(makeBin, xrMath2ExprImp, &binOf)
STRAND_MATH_FACTORY(makeMin, xrMath2ExprImp, &minOf)
STRAND_MATH_FACTORY(makeMax, xrMath2ExprImp, &maxOf)
STRAND_BUILTIN_FACTORY(makeMod, xrModExprImp)

#undef STRAND_MATH_FACTORY

}  // namespace strand::math
