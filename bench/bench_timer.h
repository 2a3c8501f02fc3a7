#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

// Runs `work` once to warm caches up, then `runs` more times, and returns the median
// of the timed runs in seconds. `before` and `after` run around every call of `work`
// and are not timed; they set up and undo what one run needs.
template<typename Before, typename Work, typename After>
double medianSeconds(int runs, Before &&before, Work &&work, After &&after)
{
    using Clock = std::chrono::steady_clock;
    std::vector<double> seconds;
    for (int run = 0; run <= runs; ++run) {
        before();
        const Clock::time_point start = Clock::now();
        work();
        const Clock::time_point stop = Clock::now();
        after();
        if (run > 0)
            seconds.push_back(std::chrono::duration<double>(stop - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    return seconds[seconds.size() / 2];
}

template<typename Work>
double medianSeconds(int runs, Work &&work)
{
    return medianSeconds(runs, [] {}, work, [] {});
}
