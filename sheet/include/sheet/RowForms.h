#pragma once
// The row-by-row forms of the three predictions of a dosing scheme. A host
// that can read its cells as numbers runs the PK core's row loop on them
// directly and writes each result cell in the same pass, so that a column of
// a million rows passes through memory once; any other call takes the
// function's ordinary way through its routine. Host-neutral, like the
// declarations that name them.
#include <variant>

#include "pkcore/predictionrows.h"

namespace sheet {

class Arguments;

using RowForm = std::variant<pkcore::PlasmaPrediction, pkcore::EffectPrediction>;

// The prediction set up from a call's numeric arguments (its three columns
// deltaTimes, Rate and IVBolus omitted as std::monostate), for columns of one
// length; throws what the function would throw for those numbers.
using RowFormStart = RowForm (*)(const Arguments& numbers);

}  // namespace sheet
