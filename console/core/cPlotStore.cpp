#include "cPlotStore.h"

#include <algorithm>

uint32_t cPlotStore::AddSeries(const std::string& sLabel)
{
    Series series;
    series.nId = m_nNextId++;
    series.sLabel = sLabel;
    m_Series.push_back(std::move(series));
    return m_Series.back().nId;
}

void cPlotStore::RemoveSeries(uint32_t nId)
{
    m_Series.erase(std::remove_if(m_Series.begin(), m_Series.end(), [nId](const Series& s) { return s.nId == nId; }),
                   m_Series.end());
}

const cPlotStore::Series* cPlotStore::Find(uint32_t nId) const
{
    for (const Series& series : m_Series)
        if (series.nId == nId)
            return &series;
    return nullptr;
}

void cPlotStore::Add(uint32_t nId, double dTime, double dValue)
{
    for (Series& series : m_Series)
    {
        if (series.nId != nId)
            continue;
        if (!series.samples.empty() && dTime < series.samples.back().dTime)
            return;
        series.samples.push_back(Sample{dTime, dValue});
        if (series.samples.size() > m_nMostSamples)
            series.samples.pop_front();
        return;
    }
}

void cPlotStore::Prune(double dOldest)
{
    for (Series& series : m_Series)
        while (!series.samples.empty() && series.samples.front().dTime < dOldest)
            series.samples.pop_front();
}

size_t cPlotStore::SampleCount() const
{
    size_t nCount = 0;
    for (const Series& series : m_Series)
        nCount += series.samples.size();
    return nCount;
}

std::vector<cPlotStore::Column> cPlotStore::Decimate(const std::deque<Sample>& samples, double dFrom, double dTo,
                                                     int nColumns)
{
    std::vector<Column> columns(nColumns > 0 ? static_cast<size_t>(nColumns) : 0);
    if (columns.empty() || !(dTo > dFrom))
        return columns;
    const double dPerColumn = (dTo - dFrom) / nColumns;
    auto it = std::lower_bound(samples.begin(), samples.end(), dFrom,
                               [](const Sample& sample, double dTime) { return sample.dTime < dTime; });
    for (; it != samples.end() && it->dTime <= dTo; ++it)
    {
        const int nColumn = std::min(nColumns - 1, static_cast<int>((it->dTime - dFrom) / dPerColumn));
        Column& column = columns[static_cast<size_t>(nColumn)];
        if (!column.bAny)
        {
            column = Column{true, it->dValue, it->dValue, it->dValue, it->dValue};
            continue;
        }
        column.dMin = std::min(column.dMin, it->dValue);
        column.dMax = std::max(column.dMax, it->dValue);
        column.dLast = it->dValue;
    }
    return columns;
}

bool cPlotStore::ValueRange(double dFrom, double dTo, double& dLow, double& dHigh) const
{
    bool bAny = false;
    for (const Series& series : m_Series)
    {
        auto it = std::lower_bound(series.samples.begin(), series.samples.end(), dFrom,
                                   [](const Sample& sample, double dTime) { return sample.dTime < dTime; });
        for (; it != series.samples.end() && it->dTime <= dTo; ++it)
        {
            dLow = bAny ? std::min(dLow, it->dValue) : it->dValue;
            dHigh = bAny ? std::max(dHigh, it->dValue) : it->dValue;
            bAny = true;
        }
    }
    return bAny;
}

