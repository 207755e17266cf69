// The classes of `--colour-by error`: the valid track coloured by each fix's
// horizontal error against the reference.
//
// How the classes are chosen, and why. Errors span orders of magnitude (an RTK
// receiver's centimetres, a phone's tens of metres) and a few outliers reach far
// beyond the bulk, so the classes are steps of 1, 2 and 5 times a power of ten,
// even on a logarithmic scale and easy to read ("0.2–0.5 m"), and are fitted to
// the log's own errors: the last class starts at the smallest such step at or
// above the 95th percentile of the horizontal errors, so at most one fix in
// twenty lands there (the outliers) and the other seven classes cover the two
// decades below it, where the bulk lies. The first class never ends below
// 1 cm, which no log's coordinates resolve, so the last starts at 1 m or above:
// RTK fixed, float and single fixes then fall into classes of their own. The
// colours run along viridis like those of the speed classes; a fix without a
// reference position is grey.
#pragma once

#include <array>
#include <span>
#include <string>
#include <vector>

#include "core/colour_scale.h"

namespace tervo {

struct ErrorClasses {
    static constexpr int kCount = 8;
    // Class i < 7 holds errors below Bounds[i] (and from Bounds[i - 1]); class
    // 7 every error from Bounds[6] up.
    std::array<double, kCount - 1> BoundsM{};
};

// The steps of 1, 2 and 5 times a power of ten, counted from 1 m: step 0 is
// 1 m, step 1 2 m, step -1 0.5 m, step -6 0.01 m. (The error classes' bounds
// and the accuracy plots' scales.)
double OneTwoFiveStep(int k);
// The index of the greatest step at or below `value` (> 0).
int OneTwoFiveIndex(double value);

// The class of a fix without a reference position: after the error classes.
inline constexpr int kUnmatchedErrorClass = ErrorClasses::kCount;

// The classes whose last one starts at the smallest 1-2-5 step at or above
// `topM` and at least 1 m.
ErrorClasses ErrorClassesFrom(double topM);
// The same for the 95th percentile (see Percentile) of `horizontalErrorsM`.
ErrorClasses MakeErrorClasses(std::span<const double> horizontalErrorsM);

// The class of an error in metres; NaN (no reference position) gives
// kUnmatchedErrorClass.
int ErrorClassOf(const ErrorClasses& classes, double metres);
// "0–0.01 m", "0.2–0.5 m", "≥ 1 m", "no reference" (UTF-8).
std::string ErrorClassLabel(const ErrorClasses& classes, int index);
// Viridis from class 0 (dark purple) to class 7 (yellow); grey for unmatched fixes.
Rgb ErrorClassColour(int index);
// "error-0" to "error-7", and "error-none".
std::string ErrorStyleId(int index);

// Every error class with its label, smallest first, and "no reference" last
// when `withUnmatched`.
std::vector<LegendEntry> ErrorLegend(const ErrorClasses& classes, bool withUnmatched);

}  // namespace tervo
