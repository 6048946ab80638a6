#pragma once

#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <vector>

// The monotonic clock in nanoseconds, what every measurement is taken with.
inline qint64 monotonicNs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// Order statistics of a set of measurements.
class Samples
{
public:
    void add(double value) { m_values.push_back(value); }
    bool empty() const { return m_values.empty(); }

    double median() const { return quantile(0.5); }
    double p99() const { return quantile(0.99); }
    double min() const { return *std::min_element(m_values.begin(), m_values.end()); }
    double max() const { return *std::max_element(m_values.begin(), m_values.end()); }

    double quantile(double q) const
    {
        std::vector<double> sorted = m_values;
        std::sort(sorted.begin(), sorted.end());
        const size_t index = size_t(std::ceil(q * double(sorted.size()))) - 1;
        return sorted[std::min(index, sorted.size() - 1)];
    }

private:
    std::vector<double> m_values;
};
