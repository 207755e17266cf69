#include "report/error_classes.h"

#include <cmath>

#include "report/accuracy.h"
#include "report/report_text.h"

namespace tervo {

namespace {

// The first class's bound never goes below 1 cm (step -6).
constexpr int kLowestFirstStep = -6;

}  // namespace

double OneTwoFiveStep(int k) {
    static constexpr double kSteps[] = {1, 2, 5};
    const int decade = k >= 0 ? k / 3 : -((-k + 2) / 3);
    const double step = kSteps[k - decade * 3];
    // A division keeps 0.05 the double nearest to 0.05.
    return decade >= 0 ? step * std::pow(10.0, decade) : step / std::pow(10.0, -decade);
}

int OneTwoFiveIndex(double value) {
    int k = 3 * static_cast<int>(std::floor(std::log10(value))) - 3;
    while (OneTwoFiveStep(k + 1) <= value * (1 + 1e-12)) {
        ++k;
    }
    return k;
}

ErrorClasses ErrorClassesFrom(double topM) {
    constexpr int kLastOffset = ErrorClasses::kCount - 2;
    int first = kLowestFirstStep;
    if (std::isfinite(topM)) {
        while (OneTwoFiveStep(first + kLastOffset) < topM) {
            ++first;
        }
    }
    ErrorClasses classes;
    for (int i = 0; i <= kLastOffset; ++i) {
        classes.BoundsM[static_cast<size_t>(i)] = OneTwoFiveStep(first + i);
    }
    return classes;
}

ErrorClasses MakeErrorClasses(std::span<const double> horizontalErrorsM) {
    std::vector<double> values;
    for (double value : horizontalErrorsM) {
        if (std::isfinite(value)) {
            values.push_back(value);
        }
    }
    return ErrorClassesFrom(values.empty() ? 0 : Percentile(std::move(values), 0.95));
}

int ErrorClassOf(const ErrorClasses& classes, double metres) {
    if (std::isnan(metres)) {
        return kUnmatchedErrorClass;
    }
    for (int i = 0; i < ErrorClasses::kCount - 1; ++i) {
        if (metres < classes.BoundsM[static_cast<size_t>(i)]) {
            return i;
        }
    }
    return ErrorClasses::kCount - 1;
}

std::string ErrorClassLabel(const ErrorClasses& classes, int index) {
    if (index >= kUnmatchedErrorClass) {
        return "no reference";
    }
    if (index >= ErrorClasses::kCount - 1) {
        return "\u2265 " + NumberText(classes.BoundsM.back(), 6) + " m";
    }
    const double low = index == 0 ? 0 : classes.BoundsM[static_cast<size_t>(index - 1)];
    return NumberText(low, 6) + "\u2013" + NumberText(classes.BoundsM[static_cast<size_t>(index)], 6) + " m";
}

Rgb ErrorClassColour(int index) {
    if (index >= kUnmatchedErrorClass) {
        return {150, 150, 150};
    }
    return Viridis(static_cast<double>(index) / (ErrorClasses::kCount - 1));
}

std::string ErrorStyleId(int index) {
    return index >= kUnmatchedErrorClass ? "error-none" : "error-" + std::to_string(index);
}

std::vector<LegendEntry> ErrorLegend(const ErrorClasses& classes, bool withUnmatched) {
    std::vector<LegendEntry> legend;
    for (int i = 0; i < ErrorClasses::kCount; ++i) {
        legend.push_back({ErrorClassLabel(classes, i), ErrorClassColour(i)});
    }
    if (withUnmatched) {
        legend.push_back(
            {ErrorClassLabel(classes, kUnmatchedErrorClass), ErrorClassColour(kUnmatchedErrorClass)});
    }
    return legend;
}

}  // namespace tervo
