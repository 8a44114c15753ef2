#include "host/xrMathUtils.h"

#include <cmath>
#include <limits>

#include <boost/math/distributions/binomial.hpp>
#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/special_functions/beta.hpp>
#include <boost/math/special_functions/erf.hpp>

namespace strand {

namespace {

namespace bmp = boost::math::policies;

// Errors become values: domain errors and poles NaN, overflow +/-infinity, underflow 0, and a
// series that does not converge its last estimate. Nothing throws and errno is never consulted.
using Quiet =
    bmp::policy<bmp::domain_error<bmp::ignore_error>, bmp::pole_error<bmp::ignore_error>,
                bmp::overflow_error<bmp::ignore_error>, bmp::underflow_error<bmp::ignore_error>,
                bmp::denorm_error<bmp::ignore_error>, bmp::evaluation_error<bmp::ignore_error>,
                bmp::rounding_error<bmp::ignore_error>, bmp::indeterminate_result_error<bmp::ignore_error>>;

using Normal = boost::math::normal_distribution<double, Quiet>;
using ChiSquared = boost::math::chi_squared_distribution<double, Quiet>;
using Binomial = boost::math::binomial_distribution<double, Quiet>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool validNormal(double x, double mean, double sd) {
    return !std::isnan(x) && std::isfinite(mean) && std::isfinite(sd) && sd > 0;
}

bool validBinomial(int n, double p) {
    return n >= 0 && p >= 0 && p <= 1;
}

}  // namespace

double xrMathUtils::GaussianPDF(double x, double mean, double sd) {
    if (!validNormal(x, mean, sd))
        return kNaN;
    if (std::isinf(x))
        return 0;
    return boost::math::pdf(Normal(mean, sd), x);
}

double xrMathUtils::GaussianCDF(double x, double mean, double sd) {
    if (!validNormal(x, mean, sd))
        return kNaN;
    if (std::isinf(x))
        return x > 0 ? 1 : 0;
    return boost::math::cdf(Normal(mean, sd), x);
}

double xrMathUtils::Z_26_2_1(double x) {
    return GaussianPDF(x, 0, 1);
}

double xrMathUtils::P_26_2_17(double x) {
    return GaussianCDF(x, 0, 1);
}

double xrMathUtils::ChiP(double chi2, double df) {
    if (std::isnan(chi2) || std::isnan(df) || df <= 0)
        return kNaN;
    if (chi2 <= 0)
        return 0;
    if (std::isinf(chi2))
        return 1;
    if (std::isinf(df))
        return 0;
    return boost::math::cdf(ChiSquared(df), chi2);
}

double xrMathUtils::A_26_7(double t, double df) {
    if (std::isnan(t) || std::isnan(df) || df <= 0)
        return kNaN;
    double u = std::fabs(t);
    if (std::isinf(u))
        return 1;
    if (std::isinf(df))
        return boost::math::erf(u / std::sqrt(2.0), Quiet());
    // A(t | nu) = I_x(1/2, nu/2) with x = t^2 / (nu + t^2); for |t| >= 1 written as
    // 1 / (1 + nu / t^2) so that a huge t cannot overflow t^2 into infinity / infinity.
    double x = u < 1 ? u * u / (df + u * u) : 1 / (1 + (df / u) / u);
    return boost::math::ibeta(0.5, df / 2, x, Quiet());
}

double xrMathUtils::IncompleteBeta(double x, int a, int b) {
    if (std::isnan(x) || x < 0 || x > 1 || a <= 0 || b <= 0)
        return kNaN;
    return boost::math::ibeta(double(a), double(b), x, Quiet());
}

double xrMathUtils::BinomialPDF(int k, int n, double p) {
    if (!validBinomial(n, p))
        return kNaN;
    if (k < 0 || k > n)
        return 0;
    return boost::math::pdf(Binomial(n, p), k);
}

double xrMathUtils::BinomialCDF(int k, int n, double p) {
    if (!validBinomial(n, p))
        return kNaN;
    if (k < 0)
        return 0;
    if (k >= n)
        return 1;
    return boost::math::cdf(Binomial(n, p), k);
}

}  // namespace strand
