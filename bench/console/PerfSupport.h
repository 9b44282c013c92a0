#pragma once
// What the console's measuring tools share: letting the windows run for a
// while, and the percentiles of what they measured.
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstddef>
#include <vector>

namespace PerfSupport
{
// Runs the event loop for nMs milliseconds: the windows refresh and paint as they would.
inline void Spin(int nMs)
{
    QEventLoop loop;
    QTimer::singleShot(std::max(nMs, 0), &loop, &QEventLoop::quit);
    loop.exec();
}

// The value below which the given share of the samples lies (0 without samples).
template <typename T>
T Percentile(std::vector<T> samples, double dShare)
{
    if (samples.empty())
        return T{};
    const size_t nAt = std::min(samples.size() - 1, static_cast<size_t>(dShare * static_cast<double>(samples.size())));
    std::nth_element(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(nAt), samples.end());
    return samples[nAt];
}

template <typename T>
T Worst(const std::vector<T>& samples)
{
    return samples.empty() ? T{} : *std::max_element(samples.begin(), samples.end());
}
} // namespace PerfSupport
