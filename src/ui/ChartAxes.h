#pragma once

#include <QString>

class QValueAxis;

namespace orbench::ui {

// The distance between two labelled ticks for a range: the smallest of 1, 2 or 5 times a power of
// ten that leaves at most MaxTicks ticks on the range.
double RoundTickInterval(double Range, int MaxTicks);

// A printf format for tick labels at multiples of Interval on a range reaching Magnitude (the
// larger absolute end): fixed notation with as many decimals as the interval has, or exponent
// notation when fixed notation would be unreadably long or short.
QString TickLabelFormat(double Interval, double Magnitude);

// Labels the axis at round values (multiples of a round interval) over its current range, with
// the decimals the interval needs, so that no two labels read alike whatever the range.
void SetRoundTicks(QValueAxis* Axis, int MaxTicks);

// Sets the axis's range and labels it as SetRoundTicks does. The chart lays the ticks of the old
// interval over the new range first, which could mean billions of ticks for a much wider range:
// the axis counts its ticks instead while the range changes.
void SetRangeWithRoundTicks(QValueAxis* Axis, double Min, double Max, int MaxTicks);

}  // namespace orbench::ui
