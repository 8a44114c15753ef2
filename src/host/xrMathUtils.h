#pragma once
// xrMathUtils: the statistical functions of scripts, on Boost.Math. Several are named after the
// equation of Abramowitz and Stegun's Handbook of Mathematical Functions (chapter 26) that
// defines the quantity they return. Every function answers a double and never throws: invalid
// arguments (and NaN arguments) give NaN, a result too large for a double gives +/-infinity, a
// result too small gives 0, and a series that fails to converge gives its best estimate.

namespace strand {

class xrMathUtils {
  public:
    xrMathUtils() = delete;

    // The normal density with the given mean and standard deviation at x:
    // exp(-((x - mean) / sd)^2 / 2) / (sd * sqrt(2 pi)). sd <= 0 gives NaN.
    static double GaussianPDF(double x, double mean, double sd);
    // The normal lower tail P(X <= x) for the given mean and standard deviation. sd <= 0 gives NaN.
    static double GaussianCDF(double x, double mean, double sd);

    // A&S 26.2.1: the standard normal density Z(x) = exp(-x^2 / 2) / sqrt(2 pi).
    static double Z_26_2_1(double x);
    // The standard normal lower tail P(x) = integral of Z(t) from -infinity to x, the quantity that
    // A&S 26.2.17 approximates. The name cites the approximation, but the result is exact to double
    // precision (no polynomial approximation is used).
    static double P_26_2_17(double x);

    // A&S 26.4.2: P(chi2 | nu), the lower-tail chi-square probability P(X <= chi2) with nu = df
    // degrees of freedom (df need not be whole). chi2 < 0 gives 0; df <= 0 gives NaN.
    static double ChiP(double chi2, double df);

    // A&S 26.7.1: A(t | nu), the probability that Student's t with nu = df degrees of freedom
    // lies between -|t| and |t|. Two-sided and symmetric in t: A(0) = 0, A(+/-infinity) = 1.
    // df need not be whole; df = +infinity gives the normal limit; df <= 0 gives NaN.
    static double A_26_7(double t, double df);

    // A&S 26.5.1: the regularized incomplete beta function I_x(a, b).
    // x outside [0, 1], a <= 0 or b <= 0 give NaN.
    static double IncompleteBeta(double x, int a, int b);

    // A&S 26.1.20: the binomial probability of exactly k successes in n trials of probability p,
    // C(n, k) p^k (1 - p)^(n - k). k outside 0..n gives 0; n < 0 or p outside [0, 1] gives NaN.
    static double BinomialPDF(int k, int n, double p);
    // The binomial lower tail P(X <= k) = sum of BinomialPDF(i, n, p) for i = 0..k.
    // k < 0 gives 0 and k >= n gives 1 (once n and p are valid); n < 0 or p outside [0, 1] gives NaN.
    static double BinomialCDF(int k, int n, double p);
};

}  // namespace strand
