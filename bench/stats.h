// Figures from a noisy machine: every value is kept, and a series is told by its minimum,
// median and maximum.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

class Series {
public:
    void Add(double value) { values_.push_back(value); }
    std::size_t Size() const { return values_.size(); }
    double At(std::size_t index) const { return values_[index]; }

    double Min() const { return values_.empty() ? 0 : *std::min_element(values_.begin(), values_.end()); }
    double Max() const { return values_.empty() ? 0 : *std::max_element(values_.begin(), values_.end()); }
    double Median() const
    {
        if (values_.empty()) return 0;
        std::vector<double> sorted = values_;
        std::sort(sorted.begin(), sorted.end());
        const std::size_t middle = sorted.size() / 2;
        return sorted.size() % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
    }

    // "min / median / max" with one decimal.
    std::string Summary() const
    {
        char text[96];
        std::snprintf(text, sizeof(text), "%.1f / %.1f / %.1f", Min(), Median(), Max());
        return text;
    }

private:
    std::vector<double> values_;
};

// The ratios of values measured side by side (same index), from the smallest to the largest.
inline Series Ratios(const Series& numerators, const Series& denominators)
{
    Series ratios;
    for (std::size_t i = 0; i < std::min(numerators.Size(), denominators.Size()); ++i)
        if (denominators.At(i) != 0) ratios.Add(numerators.At(i) / denominators.At(i));
    return ratios;
}

// "ratio M (minimums m; pairs: median p, q-r; bar b)", without the bar when it is 0: the medians'
// ratio first. Each pair ran back to back, so the median of the pairs' own ratios and the
// minimums' ratio are the figures least disturbed by other work on the machine.
inline std::string RatioText(const Series& ours, const Series& baseline, double bar)
{
    const Series pairs = Ratios(ours, baseline);
    char text[192];
    const int written =
        std::snprintf(text, sizeof(text), "ratio %.2f (minimums %.2f; pairs: median %.2f, %.2f-%.2f",
                      ours.Median() / baseline.Median(), ours.Min() / baseline.Min(), pairs.Median(), pairs.Min(),
                      pairs.Max());
    if (bar > 0) std::snprintf(text + written, sizeof(text) - written, "; bar %.2f)", bar);
    else std::snprintf(text + written, sizeof(text) - written, ")");
    return text;
}

}  // namespace bench
