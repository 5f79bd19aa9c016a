#include "bms/tic_steps.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <utility>

namespace {

// The binary exponent e of the range [2^(e-1), 2^e) that holds `position`; positions below the
// smallest normal double share the range of evenly spaced values under it.
int rangeExponent(double position) {
    if (position < DBL_MIN) return DBL_MIN_EXP;
    int exponent = 0;
    std::frexp(position, &exponent);
    return exponent;
}

}  // namespace

double advanceTic(double position, double framesPerTic) {
    return static_cast<double>(position + static_cast<long double>(framesPerTic));
}

// Inside one range [2^(e-1), 2^e) doubles lie u = 2^(e-53) apart. Moving a position by an even
// number of u there moves the exact sum, its rounding to long double and the rounding back to
// double by the same amount, ties included, since both roundings go to grids that u divides
// and the evenness of the last bit stays. So while the results stay inside the range, a step
// d = advanceTic(p) - p repeats exactly when d is an even number of u, or when moving by one u
// moves the result by one u too (no tie depends on the last bit). When it does not, one more
// single step lands on a position whose step is even.
double advanceTics(double position, double framesPerTic, int64_t tics) {
    while (tics > 0) {
        const double next = advanceTic(position, framesPerTic);
        // A position that no longer moves, or no longer is finite, stays.
        if (next == position || !std::isfinite(next)) return next;
        const int exponent = rangeExponent(position);
        const double top = std::ldexp(1.0, exponent);
        const int toUnits = DBL_MANT_DIG - exponent;
        // Both counts are whole numbers of u below 2^53 once `next` lies inside the range.
        const int64_t room = static_cast<int64_t>(std::ldexp(top - position, toUnits));
        const int64_t step =
            next < top ? static_cast<int64_t>(std::ldexp(next - position, toUnits)) : room;
        bool repeats = next < top && room >= 2;
        if (repeats && step % 2 != 0) {
            const double neighbour = position + std::ldexp(1.0, -toUnits);
            repeats = advanceTic(neighbour, framesPerTic) - neighbour == next - position;
        }
        if (!repeats) {
            position = next;
            --tics;
            continue;
        }
        // The largest count of steps whose result stays below the top of the range.
        const int64_t steps = std::min(tics, (room - 1) / step);
        position += static_cast<double>(steps) * (next - position);
        tics -= steps;
    }
    return position;
}

TicProgress::TicProgress(int lastTic, int last, std::function<void(int)> report)
    : lastTic(lastTic), last(last), report(std::move(report)) {}

int TicProgress::valueAt(int64_t tic) const {
    const int64_t done = tic * 100;
    return 100 + static_cast<int>(done / static_cast<long double>(lastTic));
}

void TicProgress::reach(int tic) {
    while (next <= tic && next <= lastTic) {
        if (next == lastTic) {
            report(200);
            ++next;
            return;
        }
        const int value = valueAt(next);
        if (value != last) {
            report(value);
            last = value;
        }
        // The first tic whose value is above this one, never past `tic` + 1 or the last tic.
        const int64_t rise = (static_cast<int64_t>(value - 99) * lastTic + 99) / 100;
        next =
            std::max(next + 1, std::min<int64_t>({rise, static_cast<int64_t>(tic) + 1, lastTic}));
    }
}
