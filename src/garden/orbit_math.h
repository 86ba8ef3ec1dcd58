// Complex arithmetic of the orbit search. Values are stored as 32-bit floats; within one
// formula products and sums are carried in double precision and rounded once, at the store.
// The double products of two floats are exact, so these results are the same on every
// IEEE platform wherever only +, -, *, / and sqrt are involved.
#pragma once

#include <cmath>
#include <complex>
#include <limits>

#include "garden/rose_shape.h"

namespace roses {

using complex_d = std::complex<double>;

// w^2 + c, each part rounded after the square and again after c is added.
inline complex_f square_plus_c(complex_f w, complex_f c) {
    const double re = w.real();
    const double im = w.imag();
    const auto square_re = static_cast<float>(re * re - im * im);
    const auto square_im = static_cast<float>(2.0 * re * im);
    return {static_cast<float>(static_cast<double>(square_re) + c.real()),
            static_cast<float>(static_cast<double>(square_im) + c.imag())};
}

// |w| without intermediate overflow: the squares of floats cannot overflow a double.
inline float modulus(complex_f w) {
    const double re = w.real();
    const double im = w.imag();
    return static_cast<float>(std::sqrt(re * re + im * im));
}

inline complex_f difference(complex_f a, complex_f b) {
    return {static_cast<float>(static_cast<double>(a.real()) - b.real()),
            static_cast<float>(static_cast<double>(a.imag()) - b.imag())};
}

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

// The principal power exp(e * Log w), rounded to floats.
inline complex_f principal_power(complex_f w, complex_f e) {
    const complex_d log_w = principal_log(w);
    const double er = e.real();
    const double ei = e.imag();
    const double re = er * log_w.real() - ei * log_w.imag();
    const double im = er * log_w.imag() + ei * log_w.real();
    const double scale = std::exp(re);
    return {static_cast<float>(scale * std::cos(im)), static_cast<float>(scale * std::sin(im))};
}

// The exponent at fraction t of a hop: 1 + (t, 0) * kappa, each part rounded.
inline complex_f hop_fraction_exponent(float t, complex_f kappa) {
    const double kr = kappa.real();
    const double ki = kappa.imag();
    return {static_cast<float>(1.0 + (t * kr - 0.0 * ki)), static_cast<float>(t * ki + 0.0 * kr)};
}

} // namespace roses
