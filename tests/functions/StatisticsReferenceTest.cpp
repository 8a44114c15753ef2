// The statistics built-ins against reference values computed independently of the library behind
// them: with Python's math module (erf, erfc) and exact rational arithmetic (fractions) over the closed
// forms of Abramowitz and Stegun, chapter 26:
//   normal        Z(x) = exp(-x^2 / 2) / sqrt(2 pi), P(x) = erfc(-x / sqrt 2) / 2;
//   chi-square    Q(x | nu) = exp(-x/2) sum_{k < nu/2} (x/2)^k / k! for even nu (26.4.21), and
//                 2 Q(chi) + 2 Z(chi) sum_r chi^(2r-1) / (1 * 3 * ... * (2r-1)) for odd nu (26.4.4);
//   Student's t   A(t | nu) from 26.7.3 and 26.7.4 with theta = atan(t / sqrt nu);
//   beta          I_x(a, b) = sum_{j >= a} C(a+b-1, j) x^j (1-x)^(a+b-1-j) for whole a, b (26.5.7);
//   binomial      C(n, k) p^k (1-p)^(n-k) and its partial sums, exactly.
// Critical values from the usual tables (chi-square 3.8415, t 2.2281 at 95 %) are among the arguments.
//
// Every result must agree with its reference to a relative error of 1e-7 (a tail value of 2.9e-7 is held
// to 2.9e-14); a reference of exactly 0 or 1 at an edge must be met exactly. The scripts run through the
// parser, so argument truncation is part of what is checked.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "parser/ExpressionParser.h"

using namespace strand;

namespace {

void expectClose(const std::string& script, double want) {
    ExpressionContext ctx;
    const double got = xrExpressionParser::ParseExpression(String::fromUtf8(script), nullptr)->getDouble(ctx);
    if (want == 0 || want == 1)
        EXPECT_EQ(got, want) << script;
    else
        EXPECT_NEAR(got, want, 1e-7 * std::fabs(want)) << script;
}

TEST(StatisticsReference, NormalDensityAndBothTails) {
    const struct {
        const char* x;
        double density, lower;
    } cases[] = {
        {"0", 0.3989422804014327, 0.5},
        {"1", 0.24197072451914337, 0.8413447460685429},
        {"-1.96", 0.058440944333451476, 0.024997895148220435},
        {"5", 1.4867195147342979e-06, 0.9999997133484281},
        {"-5", 1.4867195147342979e-06, 2.866515718791946e-07},
    };
    for (const auto& c : cases) {
        const std::string x = c.x;
        expectClose("gaussianz(" + x + ")", c.density);
        expectClose("gaussianpdf(" + x + ", 0, 1)", c.density);
        expectClose("gaussianp(" + x + ")", c.lower);
        expectClose("gaussiancdf(" + x + ", 0, 1)", c.lower);
        // The upper tail is the lower tail of -x.
        expectClose("gaussianp(-(" + x + "))", 1 - c.lower);
    }
    // Mean and standard deviation shift and scale.
    expectClose("gaussianpdf(13, 10, 2)", 0.06475879783294587);
    expectClose("gaussiancdf(7, 10, 2)", 0.06680720126885809);
    expectClose("gaussiancdf(0.5, 1, 0.25)", 0.02275013194817922);
}

// chidistribution gives the lower tail, tdistribution the probability between -|t| and |t|; each is
// checked with its complement as well, which holds the small tails to their own relative error.
TEST(StatisticsReference, ChiSquareAndStudentTWithTheirComplements) {
    const struct {
        const char* function;
        const char* x;
        int nu;
        double value, complement;
    } cases[] = {
        {"chidistribution", "3.841458820694124", 1, 0.95, 0.05000000000000008},
        {"chidistribution", "2", 2, 0.6321205588285577, 0.36787944117144233},
        {"chidistribution", "10", 4, 0.9595723180054871, 0.0404276819945128},
        {"chidistribution", "1", 3, 0.19874804309879912, 0.8012519569012009},
        {"chidistribution", "20", 5, 0.9987502694369687, 0.0012497305630313736},
        {"chidistribution", "40", 7, 0.9999987412096126, 1.2587903873713046e-06},
        {"tdistribution", "1", 1, 0.5, 0.5},
        {"tdistribution", "2", 1, 0.7048327646991335, 0.2951672353008665},
        {"tdistribution", "2.228138851986274", 10, 0.95, 0.050000000000000044},
        {"tdistribution", "3", 7, 0.9800578738680076, 0.01994212613199242},
        {"tdistribution", "-2", 4, 0.8838834764831843, 0.11611652351681567},
        {"tdistribution", "4", 9, 0.9968895716896145, 0.003110428310385549},
    };
    for (const auto& c : cases) {
        const std::string call = std::string(c.function) + "(" + c.x + ", " + std::to_string(c.nu) + ")";
        expectClose(call, c.value);
        expectClose("1 - " + call, c.complement);
    }
    // Degrees of freedom are whole: 4.9 counts as 4.
    expectClose("chidistribution(10, 4.9)", 0.9595723180054871);
    expectClose("chidistribution(0, 3)", 0);
    expectClose("tdistribution(0, 5)", 0);
}

TEST(StatisticsReference, IncompleteBeta) {
    const struct {
        const char* args;
        double value;
    } cases[] = {
        {"0.5, 2, 3", 0.6875},
        {"0.2, 4, 7", 0.12087388160000002},
        {"0.9, 1, 5", 0.99999},
        {"0.35, 10, 3", 0.0008479084927868648},
        {"0.75, 7, 7", 0.975709855556488},
        {"0, 2, 3", 0},
        {"1, 2, 3", 1},
        {"0.5, 2.9, 3.2", 0.6875},  // a and b are whole: 2.9 counts as 2
    };
    for (const auto& c : cases)
        expectClose("incompletebeta(" + std::string(c.args) + ")", c.value);
}

TEST(StatisticsReference, BinomialAtTheEdges) {
    const struct {
        const char* args;
        double pdf, cdf;
    } cases[] = {
        {"0, 10, 0.3", 0.0282475249, 0.0282475249},
        {"10, 10, 0.3", 5.9049e-06, 1.0},
        {"1, 1, 0.5", 0.5, 1.0},
        {"50, 50, 0.98", 0.3641696800871171, 1.0},
        {"49, 50, 0.98", 0.37160171437460926, 0.635830319912883},
        {"0, 20, 0.95", 9.5367431640625e-27, 9.5367431640625e-27},
        {"20, 20, 0.05", 9.5367431640625e-27, 1.0},
        {"7, 20, 0.5", 0.0739288330078125, 0.13158798217773438},
        // Certain outcomes.
        {"0, 5, 0", 1, 1},
        {"0, 5, 1", 0, 0},
    };
    for (const auto& c : cases) {
        expectClose("binomialpdf(" + std::string(c.args) + ")", c.pdf);
        expectClose("binomialcdf(" + std::string(c.args) + ")", c.cdf);
    }
    expectClose("binomialpdf(5, 5, 1)", 1);
}

}  // namespace
