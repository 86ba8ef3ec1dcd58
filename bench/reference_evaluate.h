// The baseline evaluation that speed work is measured against: every interpolated point is
// one single-precision complex power, exactly as the orbit's arc is defined.
#pragma once

#include <cmath>
#include <complex>
#include <limits>

#include "garden/rose_shape.h"

namespace roses {

using complex_d = std::complex<double>;

// Principal logarithm; Log 0 has real part -infinity.
inline complex_d principal_log(complex_f w) {
    const double re = w.real();
    const double im = w.imag();
    return {std::log(std::sqrt(re * re + im * im)), std::atan2(im, re)};
}

// A division by 0, or by a value with a NaN part, yields NaN in both parts.
inline complex_d divide(complex_d a, complex_d b) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    if ((b.real() == 0.0 && b.imag() == 0.0) || std::isnan(b.real()) || std::isnan(b.imag())) {
        return {nan, nan};
    }
    const double norm = b.real() * b.real() + b.imag() * b.imag();
    return {(a.real() * b.real() + a.imag() * b.imag()) / norm,
            (a.imag() * b.real() - a.real() * b.imag()) / norm};
}

// kappa(p) = Log(p^2 + c) / Log(p) - 1: p^(1 + t kappa) runs from p (t = 0) to p^2 + c
// (t = 1) along a logarithmic spiral.
complex_f hop_exponent(complex_f p, complex_f c);

// Walks one evaluation along the orbit, each iterate with its hop exponent: the literal
// form of a pass, as the reference takes it.
struct orbit_cursor {
    complex_f current;
    complex_f c;
    complex_f next;
    complex_f exponent;
    complex_f next_exponent;

    explicit orbit_cursor(complex_f start);
    void advance();
    void hop();
};

// Judges c like evaluate and writes the same decisions; only the interpolated points are
// computed the slow, literal way.
bool reference_evaluate(rose_shape& shape, complex_f c);

} // namespace roses
