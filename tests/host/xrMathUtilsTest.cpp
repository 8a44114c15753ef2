#include "host/xrMathUtils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using M = strand::xrMathUtils;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
const double kPi = std::acos(-1.0);

// A&S 26.7.3 for an even nu, theta = atan(t / sqrt(nu)):
// A = sin(theta) (1 + cos^2 / 2 + (1*3)/(2*4) cos^4 + ... + (1*3*...*(nu-3))/(2*4*...*(nu-2)) cos^(nu-2)).
double evenStudentA(double t, int nu) {
    double theta = std::atan(std::fabs(t) / std::sqrt(double(nu)));
    double c2 = std::cos(theta) * std::cos(theta);
    double term = 1;
    double sum = 1;
    for (int j = 2; j <= nu - 2; j += 2)
        sum += (term *= c2 * (j - 1) / j);
    return std::sin(theta) * sum;
}

template <typename... Doubles>
std::vector<double> valuesOf(Doubles... values) {
    return {values...};
}

}  // namespace

TEST(xrMathUtils, NormalReferenceValues) {
    EXPECT_NEAR(M::GaussianCDF(1.96, 0, 1), 0.9750021, 5e-8);
    EXPECT_NEAR(M::P_26_2_17(1.96), 0.9750021048517796, 1e-15);
    EXPECT_NEAR(M::P_26_2_17(-10), 7.619853024160526e-24, 1e-36);
    EXPECT_NEAR(M::Z_26_2_1(0), 0.3989422804, 1e-10);
    EXPECT_NEAR(M::Z_26_2_1(-1), std::exp(-0.5) / std::sqrt(2 * kPi), 1e-16);
    EXPECT_NEAR(M::GaussianPDF(1, 0, 2), 0.1760326633821497, 1e-15);
    EXPECT_NEAR(M::GaussianCDF(13, 10, 2), M::P_26_2_17(1.5), 1e-15);
    // Underflow is a value, not an error; so are the infinite ends.
    EXPECT_EQ(M::GaussianPDF(100, 0, 1), 0.0);
    EXPECT_EQ(M::P_26_2_17(-100), 0.0);
    EXPECT_EQ(M::GaussianCDF(kInf, 0, 1), 1.0);
    EXPECT_EQ(M::GaussianPDF(-kInf, 0, 1), 0.0);
}

TEST(xrMathUtils, ChiSquareStudentBetaBinomialAndNaNForInvalidArguments) {
    EXPECT_NEAR(M::ChiP(3.841458820694124, 1), 0.95, 1e-12);
    EXPECT_NEAR(M::ChiP(10, 4), 1 - std::exp(-5.0) * 6, 1e-15);  // nu = 4: 1 - e^(-x/2) (1 + x/2)
    EXPECT_EQ(M::ChiP(-2, 3), 0.0);
    EXPECT_EQ(M::ChiP(kInf, 3), 1.0);
    EXPECT_NEAR(M::A_26_7(2.0, 10), 0.926612, 5e-7);
    for (double t : {0.001, 0.3, 1.0, 2.0, 5.0, 40.0}) {
        // nu = 1 is Cauchy's law, A = 2 atan(t) / pi; nu = 2 gives t / sqrt(2 + t^2).
        EXPECT_NEAR(M::A_26_7(t, 1), 2 * std::atan(t) / kPi, 1e-14) << t;
        EXPECT_NEAR(M::A_26_7(-t, 2), t / std::sqrt(2 + t * t), 1e-14) << t;
        EXPECT_NEAR(M::A_26_7(t, 10), evenStudentA(t, 10), 1e-13) << t;
    }
    EXPECT_NEAR(M::A_26_7(0.001, 5), 7.592132278023494e-4, 1e-17);  // small t keeps its precision
    EXPECT_EQ(M::A_26_7(0, 10), 0.0);
    EXPECT_NEAR(M::A_26_7(1e200, 10), 1.0, 1e-15);
    EXPECT_NEAR(M::A_26_7(1.96, kInf), 2 * 0.9750021048517796 - 1, 1e-14);
    // The reference values at the engine's tolerance are tests/functions/StatisticsReferenceTest.cpp.
    EXPECT_NEAR(M::IncompleteBeta(0.2, 4, 7), 1 - M::IncompleteBeta(0.8, 7, 4), 1e-15);
    EXPECT_NEAR(M::BinomialCDF(30, 100, 0.3), 0.5491236007687904, 1e-13);
    EXPECT_EQ(M::BinomialPDF(0, 0, 0.4), 1.0);
    EXPECT_EQ(M::BinomialPDF(0, 3, 1.0), 0.0);
    EXPECT_EQ(M::BinomialPDF(5, 4, 0.5), 0.0);
    EXPECT_EQ(M::BinomialCDF(-1, 4, 0.5), 0.0);
    EXPECT_EQ(M::BinomialCDF(4, 4, 0.5), 1.0);
    const std::vector<double> results =
        valuesOf(M::GaussianPDF(0, 0, 0), M::GaussianPDF(0, 0, -1), M::GaussianPDF(kNaN, 0, 1),
                 M::GaussianPDF(0, kNaN, 1), M::GaussianCDF(0, 0, 0), M::GaussianCDF(0, 0, kNaN),
                 M::Z_26_2_1(kNaN), M::P_26_2_17(kNaN), M::ChiP(1, 0), M::ChiP(1, -1), M::ChiP(kNaN, 1),
                 M::A_26_7(1, 0), M::A_26_7(kNaN, 3), M::IncompleteBeta(-0.1, 2, 3),
                 M::IncompleteBeta(1.1, 2, 3), M::IncompleteBeta(0.5, 0, 3), M::IncompleteBeta(0.5, 2, -3),
                 M::BinomialPDF(1, -1, 0.5), M::BinomialPDF(1, 4, 1.5), M::BinomialPDF(1, 4, kNaN),
                 M::BinomialCDF(1, -1, 0.5), M::BinomialCDF(-1, 4, 2), M::BinomialCDF(9, 4, -0.1));
    for (size_t i = 0; i < results.size(); ++i)
        EXPECT_TRUE(std::isnan(results[i])) << "case " << i;
}
