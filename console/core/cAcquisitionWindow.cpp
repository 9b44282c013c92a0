#include "cAcquisitionWindow.h"

#include <algorithm>

cAcquisitionWindow::cAcquisitionWindow(int32_t nPictureWidth, int32_t nPictureHeight)
    : m_nWidth(std::max(nPictureWidth, 1)), m_nHeight(std::max(nPictureHeight, 1)), m_nCentreX(m_nWidth / 2),
      m_nCentreY(m_nHeight / 2)
{
}

void cAcquisitionWindow::SetSize(int32_t nSizeX, int32_t nSizeY)
{
    m_nSizeX = std::max(nSizeX, 0);
    m_nSizeY = std::max(nSizeY, 0);
}

void cAcquisitionWindow::Nudge(int32_t nDx, int32_t nDy)
{
    m_nCentreX = std::clamp(m_nCentreX + nDx, 0, m_nWidth - 1);
    m_nCentreY = std::clamp(m_nCentreY + nDy, 0, m_nHeight - 1);
}

void cAcquisitionWindow::Recentre()
{
    m_nCentreX = m_nWidth / 2;
    m_nCentreY = m_nHeight / 2;
}

cAcquisitionWindow::Rect cAcquisitionWindow::Bounds() const
{
    return {m_nCentreX - m_nSizeX / 2, m_nCentreY - m_nSizeY / 2, m_nSizeX, m_nSizeY};
}
