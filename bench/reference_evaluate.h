// The baseline evaluation that speed work is measured against: every interpolated point is
// one single-precision complex power, exactly as the orbit's arc is defined.
#pragma once

#include "garden/rose_shape.h"

namespace roses {

// Judges c like evaluate and writes the same decisions; only the interpolated points are
// computed the slow, literal way.
bool reference_evaluate(rose_shape& shape, complex_f c);

} // namespace roses
