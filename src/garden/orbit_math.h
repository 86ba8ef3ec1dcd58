// Complex arithmetic of the orbit search. Values are stored as 32-bit floats; within one
// formula products and sums are carried in double precision and rounded once, at the store.
// The double products of two floats are exact, so these results are the same on every
// IEEE platform wherever only +, -, *, / and sqrt are involved.
#pragma once

#include <cmath>
#include <complex>

#include "garden/rose_shape.h"

namespace roses {

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

} // namespace roses
