#pragma once
#include <array>
#include <cstdint>

// Base of the setting records: up to ten child records, visited in order.
class Configuration
{
public:
    static constexpr int32_t kMaxChildren = 10;

    Configuration() = default;
    virtual ~Configuration();
    Configuration(const Configuration&) = default;
    Configuration& operator=(const Configuration&) = default;

    // Visits the used child slots in order (each child visits its own).
    virtual void Visit();

    bool AddChild(Configuration* pChild);
    int32_t ChildCount() const { return m_nChildren; }

protected:
    std::array<Configuration*, kMaxChildren> m_Children{};
    int32_t m_nChildren = 0;
};
