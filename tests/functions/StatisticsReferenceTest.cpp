// The statistics built-ins against reference values computed independently of the library behind
// them: with Python's math module (erf, erfc) and exact rational arithmetic (fractions) over the closed
// forms of Abramowitz and Stegun, chapter 26:
//   normal        Z(x) = exp(-x^2 / 2) / sqrt(2 pi), P(x) = erfc(-x / sqrt 2) / 2;
//   chi-square    Q(x | nu) = exp(-x/2) sum_{k < nu/2} (x/2)^k / k! for even nu (26.4.21), and
//                 2 Q(chi) + 2 Z(chi) sum_r chi^(2r-1) / (1 * 3 * ... * (2r-1)) for odd nu (26.4.4);
//   Student's t   A(t | nu) from 26.7.3 and 26.7.4 with theta = atan(t / sqrt nu);
//   beta          I_x(a, b) = sum_{j >= a} C(a+b-1, j) x^j (1-x)^(a+b-1-j) for whole a, b (26.5.7);
//   binomial      C(n, k) p^k (1-p)^(n-k) and its partial sums, exactly.
// Critical values from the usual tables (chi-square 3.8415 / 7.8147 / 11.0705, t 2.2281 / 2.5706 at
// 95 %) are among the arguments.
//
// Tolerance: every result must agree with its reference to a relative error of 1e-7 (so a tail value of
// 2.9e-7 is held to 2.9e-14, a value near 1 to 1e-7); a reference of exactly 0 or 1 at an edge must be
// met exactly. The scripts run through the parser, so argument truncation is part of what is checked.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "parser/ExpressionParser.h"

using namespace strand;

namespace {

double evaluate(const std::string& script) {
    ExpressionContext ctx;
    return xrExpressionParser::ParseExpression(String::fromUtf8(script), nullptr)->getDouble(ctx);
}

constexpr double kRelative = 1e-7;

void expectClose(const std::string& script, double want) {
    const double got = evaluate(script);
    if (want == 0 || want == 1)
        EXPECT_EQ(got, want) << script;
    else
        EXPECT_NEAR(got, want, kRelative * std::fabs(want)) << script;
}

TEST(StatisticsReference, NormalDensityAndBothTails) {
    struct Case {
        const char* x;
        double density, lower;
    };
    const Case cases[] = {
        {"0", 0.3989422804014327, 0.5},
        {"1", 0.24197072451914337, 0.8413447460685429},
        {"-1", 0.24197072451914337, 0.15865525393145707},
        {"1.96", 0.058440944333451476, 0.9750021048517795},
        {"-1.96", 0.058440944333451476, 0.024997895148220435},
        {"5", 1.4867195147342979e-06, 0.9999997133484281},
        {"-5", 1.4867195147342979e-06, 2.866515718791946e-07},
    };
    for (const Case& c : cases) {
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
    expectClose("gaussiancdf(13, 10, 2)", 0.9331927987311419);
    expectClose("gaussiancdf(7, 10, 2)", 0.06680720126885809);
    expectClose("gaussianpdf(0.5, 1, 0.25)", 0.21596386605275225);
    expectClose("gaussiancdf(0.5, 1, 0.25)", 0.02275013194817922);
}

TEST(StatisticsReference, ChiSquareLowerAndUpperTails) {
    struct Case {
        const char* x;
        int nu;
        double lower, upper;
    };
    const Case cases[] = {
        {"0.5", 1, 0.5204998778130465, 0.4795001221869535},
        {"3.841458820694124", 1, 0.95, 0.05000000000000008},
        {"2", 2, 0.6321205588285577, 0.36787944117144233},
        {"10", 4, 0.9595723180054871, 0.0404276819945128},
        {"1", 3, 0.19874804309879912, 0.8012519569012009},
        {"7.814727903251179", 3, 0.95, 0.05000000000000003},
        {"20", 5, 0.9987502694369687, 0.0012497305630313736},
        {"11.070497693516351", 5, 0.95, 0.05000000000000009},
        {"30", 10, 0.9991433587892247, 0.0008566412107753004},
        {"5", 10, 0.10882198108584884, 0.8911780189141512},
        {"40", 7, 0.9999987412096126, 1.2587903873713046e-06},
    };
    for (const Case& c : cases) {
        const std::string call = "chidistribution(" + std::string(c.x) + ", " + std::to_string(c.nu) + ")";
        expectClose(call, c.lower);
        expectClose("1 - " + call, c.upper);
    }
    // Degrees of freedom are whole: 4.9 counts as 4.
    expectClose("chidistribution(10, 4.9)", 0.9595723180054871);
    expectClose("chidistribution(0, 3)", 0);
}

TEST(StatisticsReference, StudentTBetweenAndOutsideTails) {
    struct Case {
        const char* t;
        int nu;
        double between, outside;
    };
    const Case cases[] = {
        {"1", 1, 0.5, 0.5},
        {"2", 1, 0.7048327646991335, 0.2951672353008665},
        {"1.5", 2, 0.7276068751089989, 0.2723931248910011},
        {"2.228138851986274", 10, 0.95, 0.050000000000000044},
        {"1", 3, 0.6089977810442294, 0.3910022189557706},
        {"2.570581835636314", 5, 0.9499999999999998, 0.050000000000000155},
        {"3", 7, 0.9800578738680076, 0.01994212613199242},
        {"-2", 4, 0.8838834764831843, 0.11611652351681567},
        {"0.5", 30, 0.37927699511487273, 0.6207230048851273},
        {"4", 9, 0.9968895716896145, 0.003110428310385549},
    };
    for (const Case& c : cases) {
        const std::string call = "tdistribution(" + std::string(c.t) + ", " + std::to_string(c.nu) + ")";
        expectClose(call, c.between);
        expectClose("1 - " + call, c.outside);
        // Two-sided: the sign of t does not matter.
        expectClose("tdistribution(-(" + std::string(c.t) + "), " + std::to_string(c.nu) + ")", c.between);
    }
    expectClose("tdistribution(0, 5)", 0);
}

TEST(StatisticsReference, IncompleteBeta) {
    struct Case {
        const char* x;
        int a, b;
        double value;
    };
    const Case cases[] = {
        {"0.5", 2, 3, 0.6875},
        {"0.2", 4, 7, 0.12087388160000002},
        {"0.9", 1, 5, 0.99999},
        {"0.35", 10, 3, 0.0008479084927868648},
        {"0.01", 2, 2, 0.00029800000000000003},
        {"0.75", 7, 7, 0.975709855556488},
    };
    for (const Case& c : cases)
        expectClose("incompletebeta(" + std::string(c.x) + ", " + std::to_string(c.a) + ", " +
                        std::to_string(c.b) + ")",
                    c.value);
    expectClose("incompletebeta(0, 2, 3)", 0);
    expectClose("incompletebeta(1, 2, 3)", 1);
    // a and b are whole: 2.9 counts as 2.
    expectClose("incompletebeta(0.5, 2.9, 3.2)", 0.6875);
}

TEST(StatisticsReference, BinomialAtTheEdges) {
    struct Case {
        int k, n;
        const char* p;
        double pdf, cdf;
    };
    const Case cases[] = {
        {0, 10, "0.3", 0.0282475249, 0.0282475249},
        {10, 10, "0.3", 5.9049e-06, 1.0},
        {3, 10, "0.3", 0.266827932, 0.6496107184},
        {0, 1, "0.5", 0.5, 0.5},
        {1, 1, "0.5", 0.5, 1.0},
        {0, 50, "0.02", 0.3641696800871171, 0.3641696800871171},
        {50, 50, "0.98", 0.3641696800871171, 1.0},
        {49, 50, "0.98", 0.37160171437460926, 0.635830319912883},
        {0, 20, "0.95", 9.5367431640625e-27, 9.5367431640625e-27},
        {20, 20, "0.05", 9.5367431640625e-27, 1.0},
        {7, 20, "0.5", 0.0739288330078125, 0.13158798217773438},
    };
    for (const Case& c : cases) {
        const std::string args = std::to_string(c.k) + ", " + std::to_string(c.n) + ", " + c.p + ")";
        expectClose("binomialpdf(" + args, c.pdf);
        expectClose("binomialcdf(" + args, c.cdf);
    }
    // Certain outcomes.
    expectClose("binomialpdf(0, 5, 0)", 1);
    expectClose("binomialpdf(5, 5, 1)", 1);
    expectClose("binomialcdf(0, 5, 0)", 1);
    expectClose("binomialpdf(0, 5, 1)", 0);
}

}  // namespace
