#include "widgets/ListedColour.h"

#include <QPalette>
#include <algorithm>
#include <cmath>

namespace tunrax {

namespace {

// Relative luminance from the sRGB channels.
double Luminance(const QColor& colour) {
    const auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) +
           0.0722 * linear(rgb.blueF());
}

// A colour of 8 bits a channel, as it is drawn.
QColor Blend(const QColor& from, const QColor& to, double share) {
    const auto mix = [share](int a, int b) {
        return static_cast<int>(std::lround(a + (b - a) * share));
    };
    const QColor a = from.toRgb();
    const QColor b = to.toRgb();
    return QColor(mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue()));
}

constexpr double kReadable = 4.5;
// The strongest tint: clearly a mark, still a background.
constexpr double kMostTint = 0.4;

}  // namespace

double ContrastRatio(const QColor& first, const QColor& second) {
    const double a = Luminance(first);
    const double b = Luminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor ListedRowColour(const QPalette& palette) {
    const QColor base = palette.color(QPalette::Active, QPalette::Base);
    const QColor text = palette.color(QPalette::Active, QPalette::Text);
    const QColor highlight = palette.color(QPalette::Active, QPalette::Highlight);
    // The strongest tint that keeps the text readable, in steps of 2 %.
    for (int percent = static_cast<int>(kMostTint * 100); percent > 0; percent -= 2) {
        const QColor tinted = Blend(base, highlight, percent / 100.0);
        if (ContrastRatio(tinted, text) >= kReadable)
            return tinted;
    }
    return base;
}

}  // namespace tunrax
