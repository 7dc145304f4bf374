#pragma once

// Timing shared by the benchmarks: each operation is run beside its
// baseline, the two in turn so that both see the same load of the machine,
// and one line is printed with the medians and their ratio.

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

// `runs` runs of `work`, each after `prepare` (not timed).
struct Timed
{
    int runs;
    std::function<void()> prepare;
    std::function<void()> work;
};

inline Timed median(int runs, const std::function<void()>& prepare,
                    const std::function<void()>& work)
{
    return Timed{runs, prepare, work};
}

inline double medianOf(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Prints "<operation>  <label> <ms> ms  baseline <ms> ms  <ratioLabel> <x>".
inline void report(const char* operation, const Timed& measured, const Timed& baseline,
                   const char* label = "store", const char* ratioLabel = "ratio")
{
    std::vector<double> measuredTimes;
    std::vector<double> baselineTimes;
    for (int i = 0; i < measured.runs; ++i) {
        // Each goes first in every other round, so that neither always
        // finds the caches (and the disk) as the other left them.
        const bool baselineFirst = i % 2 == 1;
        for (const Timed* t :
             {baselineFirst ? &baseline : &measured, baselineFirst ? &measured : &baseline}) {
            t->prepare();
            QElapsedTimer timer;
            timer.start();
            t->work();
            (t == &measured ? measuredTimes : baselineTimes).push_back(timer.nsecsElapsed() / 1e6);
        }
    }
    const double m = medianOf(measuredTimes);
    const double b = medianOf(baselineTimes);
    std::printf("%-28s %s %9.3f ms  baseline %9.3f ms  %s %.2f\n", operation, label, m, b,
                ratioLabel, m / b);
    std::fflush(stdout);
}
