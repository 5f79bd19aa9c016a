// Stepping the walk from object to object instead of tic by tic: the position after a run of
// empty tics, bit for bit what adding one tic's frames at a time gives, and the progress values
// that those tics report.
#ifndef BMS_TIC_STEPS_H_
#define BMS_TIC_STEPS_H_

#include <cstdint>
#include <functional>

// The position one tic later: the tic's frames added in long double precision, the sum
// stored as a double.
double advanceTic(double position, double framesPerTic);

// The position after `tics` calls of advanceTic (none for 0 or fewer), in time that grows
// with the binary exponents the position passes, not with `tics`. `framesPerTic` must be
// finite and above 0, `position` not negative.
double advanceTics(double position, double framesPerTic, int64_t tics);

// The mixing share of a walk up to `lastTic`: tic t reports 100 + t * 100 / lastTic when that
// value differs from the one reported last, and the last tic reports 200.
class TicProgress {
public:
    // `last` starts as the value reported before the walk.
    TicProgress(int lastTic, int last, std::function<void(int)> report);

    // Reports what the tics from the one after the previous call (0 at first) up to `tic`
    // report, each value once, in time that does not grow with the number of tics.
    void reach(int tic);
    int getLast() const { return last; }

private:
    int valueAt(int64_t tic) const;

    const int lastTic;
    int last;
    int64_t next = 0;
    std::function<void(int)> report;
};

#endif  // BMS_TIC_STEPS_H_
