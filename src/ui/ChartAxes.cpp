#include "ChartAxes.h"

#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace orbench::ui {

namespace {

constexpr int ExponentTicks = 5;

}  // namespace

double RoundTickInterval(double Range, int MaxTicks)
{
    if (!(Range > 0) || !std::isfinite(Range) || MaxTicks < 2) return 1;
    const double Raw = Range / (MaxTicks - 1);
    const double Power = std::pow(10.0, std::floor(std::log10(Raw)));
    for (const double Step : {1.0, 2.0, 5.0})
        if (Step * Power >= Raw * (1 - 1e-9)) return Step * Power;
    return 10 * Power;
}

QString TickLabelFormat(double Interval, double Magnitude)
{
    if (!(Interval > 0) || !std::isfinite(Interval)) return "%g";
    const int IntervalExponent = static_cast<int>(std::floor(std::log10(Interval) + 1e-9));
    if (Interval >= 1e6 || Interval < 1e-4) {
        const int MagnitudeExponent = Magnitude > 0 && std::isfinite(Magnitude)
                                          ? static_cast<int>(std::floor(std::log10(Magnitude) + 1e-9))
                                          : IntervalExponent;
        return QString("%.%1e").arg(std::clamp(MagnitudeExponent - IntervalExponent, 0, 15));
    }
    return QString("%.%1f").arg(std::max(0, -IntervalExponent));
}

void SetRoundTicks(QValueAxis* Axis, int MaxTicks)
{
    const double Min = Axis->min();
    const double Max = Axis->max();
    const double Magnitude = std::max(std::fabs(Min), std::fabs(Max));
    double Interval = RoundTickInterval(Max - Min, MaxTicks);
    // Labels in exponent notation are long: fewer of them.
    if (TickLabelFormat(Interval, Magnitude).endsWith('e'))
        Interval = RoundTickInterval(Max - Min, std::min(MaxTicks, ExponentTicks));
    Axis->setTickInterval(Interval);
    // The first round value in the range, so that the ticks are multiples of the interval.
    Axis->setTickAnchor(std::ceil(Min / Interval - 1e-9) * Interval);
    Axis->setLabelFormat(TickLabelFormat(Interval, Magnitude));
    Axis->setTickType(QValueAxis::TicksDynamic);
}

void SetRangeWithRoundTicks(QValueAxis* Axis, double Min, double Max, int MaxTicks)
{
    Axis->setTickType(QValueAxis::TicksFixed);
    Axis->setRange(Min, Max);
    SetRoundTicks(Axis, MaxTicks);
}

}  // namespace orbench::ui
