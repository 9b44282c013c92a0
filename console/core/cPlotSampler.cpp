#include "cPlotSampler.h"

#include "RC_ItemValue.h"

#include <algorithm>

namespace
{
const cPlotSampler::Clock::time_point g_Epoch = cPlotSampler::Clock::now();

template <typename Holder>
double Get(const RC_ItemValue& value)
{
    return static_cast<double>(static_cast<const Holder&>(value).Get());
}
} // namespace

bool cPlotSampler::IsPlottable(RC_DataType eType)
{
    return eType != RC_DataType::String && eType != RC_DataType::U128 && RC_IsValidDataType(static_cast<int32_t>(eType));
}

bool cPlotSampler::NumericValue(const RC_ItemValue& value, double& dValue)
{
    switch (value.Type())
    {
    case RC_DataType::Byte: dValue = Get<RC_ByteValue>(value); return true;
    case RC_DataType::U16: dValue = Get<RC_U16Value>(value); return true;
    case RC_DataType::S16: dValue = Get<RC_S16Value>(value); return true;
    case RC_DataType::U32: dValue = Get<RC_U32Value>(value); return true;
    case RC_DataType::S32: dValue = Get<RC_S32Value>(value); return true;
    case RC_DataType::U64: dValue = Get<RC_U64Value>(value); return true;
    case RC_DataType::S64: dValue = Get<RC_S64Value>(value); return true;
    case RC_DataType::Float: dValue = Get<RC_FloatValue>(value); return true;
    case RC_DataType::Double: dValue = Get<RC_DoubleValue>(value); return true;
    case RC_DataType::Fixed: dValue = static_cast<const RC_FixedValue&>(value).Value(); return true;
    default: return false;
    }
}

double cPlotSampler::ToSeconds(Clock::time_point when)
{
    return std::chrono::duration<double>(when - g_Epoch).count();
}

double cPlotSampler::Now()
{
    return ToSeconds(Clock::now());
}

void cPlotSampler::Add(uint32_t nSeries, uint8_t nSubSystem, const RC_ItemValue* pValue)
{
    if (!pValue || !IsPlottable(pValue->Type()))
        return;
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Items.push_back(Item{nSeries, nSubSystem, pValue, false});
}

void cPlotSampler::Remove(uint32_t nSeries)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Items.erase(std::remove_if(m_Items.begin(), m_Items.end(), [nSeries](const Item& item) { return item.nSeries == nSeries; }),
                  m_Items.end());
}

void cPlotSampler::OnSubsystemUpdated(uint8_t nSubSystem)
{
    OnSubsystemUpdated(nSubSystem, Now());
}

void cPlotSampler::OnSubsystemUpdated(uint8_t nSubSystem, double dTime)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    for (Item& item : m_Items)
    {
        if (item.nSubSystem != nSubSystem)
            continue;
        // A holder that never received anything holds no value worth a point.
        item.bSeen = item.bSeen || item.pValue->IsValid();
        double dValue = 0.0;
        if (!item.bSeen || !NumericValue(*item.pValue, dValue))
            continue;
        if (m_Pending.size() >= kMostPending)
        {
            ++m_nDropped;
            continue;
        }
        m_Pending.push_back(Pending{item.nSeries, dTime, dValue});
    }
}

void cPlotSampler::Drain(std::vector<Pending>& pending)
{
    pending.clear();
    std::lock_guard<std::mutex> lock(m_Mutex);
    pending.swap(m_Pending);
}

uint64_t cPlotSampler::Dropped() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_nDropped;
}
