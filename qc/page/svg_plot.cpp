#include "svg_plot.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "escape.hpp"

namespace wes::qc::svg {

namespace {

// The smallest of 1, 2, (2.5,) 5 and 10 times a power of ten that is at least raw.
double nice_step(double raw, bool allow_quarter) {
    double mag = std::pow(10.0, std::floor(std::log10(raw)));
    double f = raw / mag;
    double nice = 10;
    if (f <= 1 + 1e-9)
        nice = 1;
    else if (f <= 2 + 1e-9)
        nice = 2;
    else if (allow_quarter && f <= 2.5 + 1e-9)
        nice = 2.5;
    else if (f <= 5 + 1e-9)
        nice = 5;
    return nice * mag;
}

// Rough width of a label in the page's sans-serif font at the given size.
double text_width(std::string_view s, double size) {
    std::size_t chars = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80) ++chars;  // count code points, not bytes
    return static_cast<double>(chars) * size * 0.6;
}

// Path data: command cmd ('M', or ' ' to go on) to the point (x, y).
void point(std::string& d, char cmd, double x, double y) {
    d += cmd;
    append_number(d, x, 1);
    d += ' ';
    append_number(d, y, 1);
}

void attr(std::string& out, const char* name, double v) {
    out += ' ';
    out += name;
    out += "=\"";
    append_number(out, v, 1);
    out += '"';
}

void text(std::string& out, const char* cls, double x, double y, std::string_view s, const char* extra = "") {
    out += "<text class=\"";
    out += cls;
    out += '"';
    attr(out, "x", x);
    attr(out, "y", y);
    out += extra;
    out += '>';
    out += escape_html(s);
    out += "</text>";
}

struct Frame {
    double left, top, right, bottom;  // the plot area in pixels
};

void open_svg(std::string& out, int width, int height, const std::string& title) {
    out += "<svg class=\"chart\" viewBox=\"0 0 " + std::to_string(width) + " " + std::to_string(height) +
           "\" width=\"" + std::to_string(width) + "\" height=\"" + std::to_string(height) +
           "\" role=\"img\" aria-label=\"" + escape_html(title) + "\">";
    out += "<title>" + escape_html(title) + "</title>";
    text(out, "title", 8, 18, title);
}

// Axis lines, the x ticks and labels (cycles) and the y label.
void cycle_axes(std::string& out, const Frame& f, const Scale& x, int last, const std::string& x_label,
                const std::string& y_label) {
    out += "<path class=\"axis\" d=\"";
    point(out, 'M', f.left, f.top);
    out += 'V';
    append_number(out, f.bottom, 1);
    out += 'H';
    append_number(out, f.right, 1);
    out += "\"/>";
    if (last > 0) {
        std::string ticks;
        for (int c : cycle_ticks(last)) {
            point(ticks, 'M', x(c), f.bottom);
            ticks += "v5";
            text(out, "tick", x(c), f.bottom + 18, std::to_string(c), " text-anchor=\"middle\"");
        }
        out += "<path class=\"axis\" d=\"" + ticks + "\"/>";
    }
    text(out, "label", (f.left + f.right) / 2, f.bottom + 36, x_label, " text-anchor=\"middle\"");
    std::string rotate = " text-anchor=\"middle\" transform=\"rotate(-90 14 ";
    append_number(rotate, (f.top + f.bottom) / 2, 1);
    rotate += ")\"";
    text(out, "label", 14, (f.top + f.bottom) / 2, y_label, rotate.c_str());
}

void no_data(std::string& out, const Frame& f) {
    text(out, "nodata", (f.left + f.right) / 2, (f.top + f.bottom) / 2, "no bases counted", " text-anchor=\"middle\"");
}

}  // namespace

Axis nice_axis(double lo, double hi, int target_ticks) {
    if (!std::isfinite(lo) || !std::isfinite(hi)) lo = hi = 0;
    if (hi < lo) std::swap(lo, hi);
    if (hi == lo) {
        if (lo == 0) {
            hi = 1;
        } else {
            double half = std::fabs(lo) * 0.05;
            lo -= half;
            hi += half;
        }
    }
    Axis a;
    double step = nice_step((hi - lo) / std::max(1, target_ticks), false);
    a.lo = std::floor(lo / step + 1e-9) * step;
    a.hi = std::ceil(hi / step - 1e-9) * step;
    a.decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
    long n = std::lround((a.hi - a.lo) / step);
    double unit = std::pow(10.0, a.decimals);
    for (long i = 0; i <= n; ++i) a.ticks.push_back(std::round((a.lo + static_cast<double>(i) * step) * unit) / unit);
    a.lo = a.ticks.front();
    a.hi = a.ticks.back();
    return a;
}

std::vector<int> cycle_ticks(int last, int target_ticks) {
    std::vector<int> t;
    if (last < 1) return t;
    t.push_back(1);
    if (last == 1) return t;
    double raw = static_cast<double>(last - 1) / std::max(1, target_ticks);
    int step = std::max(1, static_cast<int>(std::lround(nice_step(std::max(raw, 1.0), raw >= 10))));
    for (int c = step; c <= last; c += step)
        if (c > 1) t.push_back(c);
    return t;
}

void append_number(std::string& out, double v, int decimals) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    char* end = r.ptr;
    if (decimals > 0) {
        while (end[-1] == '0') --end;
        if (end[-1] == '.') --end;
    }
    if (end - buf == 2 && buf[0] == '-' && buf[1] == '0') {
        out += '0';
        return;
    }
    out.append(buf, end);
}

std::string number(double v, int decimals) {
    std::string s;
    append_number(s, v, decimals);
    return s;
}

std::string line_path(const std::vector<double>& values, const Scale& x, const Scale& y) {
    std::string d;
    int run = 0;  // points in the current stretch without gaps
    for (std::size_t i = 0; i <= values.size(); ++i) {
        bool gap = i == values.size() || std::isnan(values[i]);
        if (gap) {
            if (run == 1) d += "h0";  // a lone point: a dot through the round line caps
            run = 0;
            continue;
        }
        point(d, run == 0 ? 'M' : ' ', x(static_cast<double>(i + 1)), y(values[i]));
        ++run;
    }
    return d;
}

namespace {

// Background bands, the value grid and its tick labels of a line chart.
void bands_and_grid(std::string& out, const LineChart& c, const Frame& f, const Scale& y) {
    for (const Band& b : c.bands) {
        double from = std::clamp(b.from, c.y.lo, c.y.hi), to = std::clamp(b.to, c.y.lo, c.y.hi);
        if (to <= from) continue;
        out += "<rect class=\"" + b.css_class + "\"";
        attr(out, "x", f.left);
        attr(out, "y", y(to));
        attr(out, "width", f.right - f.left);
        attr(out, "height", y(from) - y(to));
        out += "/>";
    }
    std::string grid;
    for (double t : c.y.ticks) {
        point(grid, 'M', f.left, y(t));
        grid += 'H';
        append_number(grid, f.right, 1);
        text(out, "tick", f.left - 6, y(t) + 4, number(t, c.y.decimals), " text-anchor=\"end\"");
    }
    out += "<path class=\"grid\" d=\"" + grid + "\"/>";
}

// The series' legend, right-aligned to right on the line at legend_y.
void line_legend(std::string& out, const std::vector<Series>& series, double right, double legend_y) {
    double lx = right;
    for (auto s = series.rbegin(); s != series.rend(); ++s) {
        lx -= text_width(s->label, 12) + 42;
        out += "<path class=\"line " + s->css_class + "\" d=\"";
        point(out, 'M', lx, legend_y - 4);
        out += "h22\"/>";
        text(out, "legend", lx + 27, legend_y, s->label);
    }
}

}  // namespace

std::string render(const LineChart& c) {
    std::string out;
    open_svg(out, c.width, c.height, c.title);
    // The legend goes right-aligned on the title's line, or on a line of its own below
    // it when the two would meet; the plot then starts lower.
    const double right = static_cast<double>(c.width) - 14;
    double legend_w = 0;
    for (const Series& s : c.series) legend_w += text_width(s.label, 12) + 42;
    const bool own_line = right - legend_w < 8 + text_width(c.title, 14) * 1.1 + 16;
    const Frame f{58, own_line ? 52.0 : 34.0, right, static_cast<double>(c.height) - 48};
    int last = std::max(c.last_cycle, 0);
    Scale x = last > 1 ? Scale{1, static_cast<double>(last), f.left, f.right}
                       : Scale{0.5, 1.5, f.left, f.right};
    Scale y{c.y.lo, c.y.hi, f.bottom, f.top};
    bands_and_grid(out, c, f, y);
    cycle_axes(out, f, x, last, c.x_label, c.y_label);
    bool any = false;
    for (const Series& s : c.series) {
        std::string d = line_path(s.values, x, y);
        if (d.empty()) continue;
        any = true;
        out += "<path class=\"line " + s.css_class + "\" d=\"" + d + "\"/>";
    }
    if (!any) no_data(out, f);
    line_legend(out, c.series, f.right, own_line ? 38 : 18);
    out += "</svg>";
    return out;
}

int heat_class(double share) {
    static constexpr double lower[] = {0.005, 0.01, 0.02, 0.05, 0.1, 0.2, 0.5};
    if (!(share > 0)) return -1;
    int k = 0;
    for (double l : lower)
        if (share >= l) ++k;
    return k;
}

namespace {

constexpr int k_heat_scores = 41, k_cell_h = 5;

// The cells, in units of one cycle by one score, score 40 on top: a run of cells of one
// colour class in one row is a stroke one unit wide through the middle of the row; a
// run of cycles without bases is one grey column.
std::string heat_cells(const HeatMap& m, int last, const Frame& f, int cell_w) {
    auto no_bases = [&m](int c) { return std::isnan(m.shares[static_cast<std::size_t>(c - 1)][0]); };
    std::array<std::string, 8> paths;
    std::string gaps;
    for (int k = 0; k < k_heat_scores; ++k) {
        for (int c = 1, run = 1; c <= last; c += run, run = 1) {
            if (no_bases(c)) {
                while (c + run <= last && no_bases(c + run)) ++run;
                if (k == 0) gaps += "M" + std::to_string(c - 1) + " 20h" + std::to_string(run);
                continue;
            }
            int cls = heat_class(m.shares[static_cast<std::size_t>(c - 1)][static_cast<std::size_t>(k)]);
            while (c + run <= last && !no_bases(c + run) &&
                   heat_class(m.shares[static_cast<std::size_t>(c + run - 1)][static_cast<std::size_t>(k)]) == cls)
                ++run;
            if (cls >= 0)
                paths[static_cast<std::size_t>(cls)] +=
                    "M" + std::to_string(c - 1) + " " + std::to_string(40 - k) + "h" + std::to_string(run);
        }
    }
    std::string out = "<g class=\"cells\" transform=\"translate(" + number(f.left, 1) + " " +
                      number(f.top + k_cell_h / 2.0, 1) + ") scale(" + std::to_string(cell_w) + " " +
                      std::to_string(k_cell_h) + ")\">";
    if (!gaps.empty()) out += "<path class=\"nb\" d=\"" + gaps + "\"/>";
    for (std::size_t i = 0; i < paths.size(); ++i)
        if (!paths[i].empty()) out += "<path class=\"h" + std::to_string(i) + "\" d=\"" + paths[i] + "\"/>";
    return out + "</g>";
}

// The score axis: ticks every 10 scores, the top one "40+".
void score_axis(std::string& out, const Frame& f) {
    Scale y{-0.5, 40.5, f.bottom, f.top};
    for (int t = 0; t <= 40; t += 10)
        text(out, "tick", f.left - 8, y(t) + 4, t == 40 ? "40+" : std::to_string(t), " text-anchor=\"end\"");
    out += "<path class=\"axis\" d=\"";
    for (int t = 0; t <= 40; t += 10) {
        point(out, 'M', f.left, y(t));
        out += "h-5";
    }
    out += "\"/>";
}

// One swatch per colour class, then the grey of a cycle without bases.
void heat_legend(std::string& out, const Frame& f) {
    static constexpr const char* labels[] = {"under 0.5%", "0.5\u20131%", "1\u20132%", "2\u20135%",
                                             "5\u201310%",  "10\u201320%", "20\u201350%", "50% and over"};
    double lx = f.right + 24, ly = f.top;
    text(out, "legend", lx, ly + 4, "Share of bases");
    for (int i = 7; i >= -1; --i) {
        ly += 20;
        out += "<rect class=\"" + (i >= 0 ? "h" + std::to_string(i) : std::string("nb")) + " swatch\"";
        attr(out, "x", lx);
        attr(out, "y", ly - 6);
        out += " width=\"14\" height=\"10\"/>";
        text(out, "legend", lx + 20, ly + 3, i >= 0 ? labels[i] : "no bases");
    }
}

}  // namespace

std::string render(const HeatMap& m) {
    constexpr int legend_w = 120, width = 1100;
    const double left = 58, top = 34;
    int last = std::max(m.last_cycle, 0);
    int cell_w = last > 0 ? std::max(1, (width - static_cast<int>(left) - 14 - legend_w) / last) : 1;
    int plot_w = last > 0 ? cell_w * last : width - static_cast<int>(left) - 14 - legend_w;
    const Frame f{left, top, left + plot_w, top + k_cell_h * k_heat_scores};

    std::string out;
    open_svg(out, width, static_cast<int>(f.bottom) + 48, m.title);
    out += heat_cells(m, last, f, cell_w);
    score_axis(out, f);
    cycle_axes(out, f, Scale{0.5, last + 0.5, f.left, f.right}, last, "Cycle", "Phred score");
    if (last == 0) no_data(out, f);
    heat_legend(out, f);
    out += "</svg>";
    return out;
}

}  // namespace wes::qc::svg
