#include "Configuration.h"

Configuration::~Configuration()
{
    m_Children.fill(nullptr);
    m_nChildren = 0;
}

void Configuration::Visit()
{
    for (int32_t i = 0; i < m_nChildren; ++i)
        if (m_Children[i])
            m_Children[i]->Visit();
}

bool Configuration::AddChild(Configuration* pChild)
{
    if (m_nChildren >= kMaxChildren)
        return false;
    m_Children[m_nChildren++] = pChild;
    return true;
}
