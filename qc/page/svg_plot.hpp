// Plots as inline SVG for the QC page: line charts over cycles with gaps for cycles
// without bases, and a score-by-cycle heat map. Colours and strokes come from the page's
// style sheet through class names, which keeps the markup small.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace wes::qc::svg {

// A value axis: its range and the tick values inside it, labelled with `decimals` places.
struct Axis {
    double lo = 0, hi = 1;
    std::vector<double> ticks;
    int decimals = 0;
};

// An axis over [lo, hi] widened to whole steps of 1, 2 or 5 times a power of ten, with
// about target_ticks steps. A single value is widened by 5% either way ([0, 0] to [0, 1]).
Axis nice_axis(double lo, double hi, int target_ticks = 5);

// Tick cycles for an axis of cycles 1..last: cycle 1, then the multiples of a step of
// 1, 2 or 5 times a power of ten (about target_ticks of them) up to last.
std::vector<int> cycle_ticks(int last, int target_ticks = 7);

// v in fixed notation with at most `decimals` places, trailing zeros dropped ("-0" is "0").
void append_number(std::string& out, double v, int decimals);
std::string number(double v, int decimals);

// A linear map from a value range onto a pixel range.
struct Scale {
    double from_lo, from_hi, to_lo, to_hi;
    double operator()(double v) const { return to_lo + (v - from_lo) * (to_hi - to_lo) / (from_hi - from_lo); }
};

// Path data of a line through values[c - 1] at cycle c. A NaN value is a gap: the line
// stops before it and starts again after it; a value alone between gaps is a dot.
std::string line_path(const std::vector<double>& values, const Scale& x, const Scale& y);

struct Series {
    std::string label;
    std::string css_class;  // stroke colour and dashes, from the page's style sheet
    std::vector<double> values;  // per cycle from 1; NaN where the cycle has no bases
};

// A horizontal background band between two values of the y axis.
struct Band {
    double from, to;
    std::string css_class;
};

struct LineChart {
    std::string title, x_label = "Cycle", y_label;
    int width = 1100, height = 340;
    int last_cycle = 1;  // the x axis runs over cycles 1..last_cycle
    Axis y;
    std::vector<Series> series;
    std::vector<Band> bands;
};

std::string render(const LineChart& chart);

// The colour class (0-7) of a share in the heat map, -1 for none at all.
int heat_class(double share);

struct HeatMap {
    std::string title;
    int last_cycle = 1;
    // shares[c - 1][k]: share of score k (40: 40 and above) at cycle c; NaN rows have no bases.
    std::vector<std::array<double, 41>> shares;
};

std::string render(const HeatMap& map);

}  // namespace wes::qc::svg
