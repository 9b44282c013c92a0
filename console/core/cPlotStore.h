#pragma once
#include "cCsvLogFile.h"

#include <cstdint>
#include <deque>
#include <ostream>
#include <string>
#include <vector>

// The samples of one plot: several series, each a label and its (time, value)
// samples in time order, kept for a sliding window that the owner prunes, and
// never more than a fixed number per series, so memory stays flat whatever
// the rate. Drawing asks for the samples of a time span reduced to one
// column per pixel. Owned and used by one thread (the plot window's).
class cPlotStore
{
public:
    struct Sample
    {
        double dTime = 0.0;  // seconds on the sampler's clock
        double dValue = 0.0;
    };
    // What one pixel column of a span holds: its first, lowest, highest and
    // last value; bAny false when no sample falls in it.
    struct Column
    {
        bool bAny = false;
        double dFirst = 0.0;
        double dMin = 0.0;
        double dMax = 0.0;
        double dLast = 0.0;
    };
    struct Series
    {
        uint32_t nId = 0;
        std::string sLabel;
        std::deque<Sample> samples;
    };

    static constexpr size_t kMostSamples = 65536;  // 10 minutes at 100 Hz, and some

    explicit cPlotStore(size_t nMostSamples = kMostSamples) : m_nMostSamples(nMostSamples) {}

    // Returns the new series' id (ids are never reused).
    uint32_t AddSeries(const std::string& sLabel);
    void RemoveSeries(uint32_t nId);
    // A sample older than the series' last one is dropped: time only moves on.
    void Add(uint32_t nId, double dTime, double dValue);
    // Drops every sample older than dOldest.
    void Prune(double dOldest);

    const std::vector<Series>& AllSeries() const { return m_Series; }
    const Series* Find(uint32_t nId) const;
    size_t SampleCount() const;

    // The samples of [dFrom, dTo] in nColumns equal columns.
    static std::vector<Column> Decimate(const std::deque<Sample>& samples, double dFrom, double dTo, int nColumns);
    // Lowest and highest value of every series in [dFrom, dTo]; false when none.
    bool ValueRange(double dFrom, double dTo, double& dLow, double& dHigh) const;

    // One row per distinct time, one column per series (empty where a series
    // has no sample at that time); times written by fnTime.
    template <typename TimeText>
    void WriteCsv(std::ostream& out, TimeText fnTime) const;


private:
    size_t m_nMostSamples;
    uint32_t m_nNextId = 1;
    std::vector<Series> m_Series;
};

template <typename TimeText>
void cPlotStore::WriteCsv(std::ostream& out, TimeText fnTime) const
{
    // Integers up to 2^48 and reals to 15 digits come out whole.
    const std::streamsize nOldPrecision = out.precision(15);
    out << "Time";
    for (const Series& series : m_Series)
        out << ',' << cCsvLogFile::Field(series.sLabel);
    out << '\n';
    std::vector<size_t> next(m_Series.size(), 0);
    for (;;)
    {
        // The earliest time any series has left: one row for it.
        bool bAny = false;
        double dTime = 0.0;
        for (size_t n = 0; n < m_Series.size(); ++n)
        {
            if (next[n] < m_Series[n].samples.size() && (!bAny || m_Series[n].samples[next[n]].dTime < dTime))
            {
                dTime = m_Series[n].samples[next[n]].dTime;
                bAny = true;
            }
        }
        if (!bAny)
        {
            out.precision(nOldPrecision);
            return;
        }
        out << fnTime(dTime);
        for (size_t n = 0; n < m_Series.size(); ++n)
        {
            out << ',';
            if (next[n] < m_Series[n].samples.size() && m_Series[n].samples[next[n]].dTime == dTime)
                out << m_Series[n].samples[next[n]++].dValue;
        }
        out << '\n';
    }
}
