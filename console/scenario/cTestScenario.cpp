#include "cTestScenario.h"

int32_t cTestScenario::Find(const std::string& sName) const
{
    for (size_t n = 0; n < m_Tests.size(); ++n)
    {
        if (m_Tests[n].sName == sName)
            return static_cast<int32_t>(n);
    }
    return -1;
}
