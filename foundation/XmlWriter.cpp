#include "XmlWriter.h"

#include "DbgLog.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <tinyxml2.h>

namespace
{
bool IsEmpty(const char* sz)
{
    return sz == nullptr || *sz == '\0';
}
} // namespace

XmlWriter::XmlWriter(bool bCreate, bool bReport, const char* szRootName)
    : bCreateIfMissing(bCreate), bReportErrors(bReport)
{
    std::snprintf(m_szRootName, sizeof(m_szRootName), "%s", szRootName ? szRootName : "");
}

XmlWriter::~XmlWriter()
{
    CloseFile();
}

void XmlWriter::CloseFile()
{
    m_pDocument.reset();
    m_sDocumentName.clear();
    m_hCfg = nullptr;
}

bool XmlWriter::LoadConfigFile(const char* szPath, const char* szSection)
{
    CloseFile();
    if (IsEmpty(szSection))
    {
        DbgLog(DBG_ERR, "XmlWriter::LoadConfigFile", __LINE__, "Null element name supplied");
        return false;
    }
    if (!OpenFile(szPath))
        return false;

    m_hCfg = m_pDocument->RootElement();
    if (m_hCfg && std::strcmp(m_hCfg->Name(), szSection) != 0)
    {
        GetCfg(szSection, m_hCfg, "");
    }
    else if (!m_hCfg && bCreateIfMissing)
    {
        DbgLog(DBG_INF, "XmlWriter::LoadConfigFile", __LINE__,
               DbgLogFormat("Failed to find %s will attempt to create", szSection));
        hCfg hRoot = GetCfg(m_szRootName, nullptr, "");
        if (hRoot && std::strcmp(m_szRootName, szSection) != 0)
            GetCfg(szSection, hRoot, "");
    }

    if (m_hCfg)
        return true;
    DbgLog(bReportErrors ? DBG_WRN : DBG_INF, "XmlWriter::LoadConfigFile", __LINE__,
           DbgLogFormat("Failed to load %s and find %s", szPath, szSection));
    CloseFile();
    return false;
}

bool XmlWriter::OpenFile(const char* szPath)
{
    CloseFile();
    if (IsEmpty(szPath))
    {
        DbgLog(DBG_ERR, "XmlWriter::LoadConfigFile", __LINE__, "Filename was null");
        return false;
    }
    m_pDocument.reset(new (std::nothrow) tinyxml2::XMLDocument());
    if (!m_pDocument)
    {
        DbgLog(DBG_ERR, "XmlWriter::LoadConfigFile", __LINE__, "Failed to create new TiXmlDocument()");
        return false;
    }
    if (m_pDocument->LoadFile(szPath) == tinyxml2::XML_SUCCESS)
    {
        m_sDocumentName = szPath;
        return true;
    }

    CloseFile();
    if (bCreateIfMissing)
    {
        DbgLog(DBG_INF, "XmlWriter::LoadConfigFile", __LINE__, DbgLogFormat("Failed to load %s will attempt to create", szPath));
        return CreateConfigFile(szPath);
    }
    DbgLog(bReportErrors ? DBG_ERR : DBG_INF, "XmlWriter::LoadConfigFile", __LINE__, DbgLogFormat("Failed to load %s", szPath));
    return false;
}

bool XmlWriter::CreateConfigFile(const char* szPath)
{
    CloseFile();
    if (IsEmpty(szPath))
    {
        DbgLog(DBG_ERR, "XmlWriter::CreateConfigFile", __LINE__, "Filename was null");
        return false;
    }
    m_pDocument.reset(new (std::nothrow) tinyxml2::XMLDocument());
    if (!m_pDocument)
    {
        DbgLog(DBG_ERR, "XmlWriter::CreateConfigFile", __LINE__, "Failed to create new TiXmlDocument()");
        return false;
    }
    m_sDocumentName = szPath;
    m_pDocument->InsertFirstChild(m_pDocument->NewDeclaration("xml version=\"1.0\" encoding=\"utf-8\" standalone=\"\""));
    return true;
}

XmlWriter::hCfg XmlWriter::CreateNewCfg(const char* szName)
{
    m_hCfg = nullptr;
    if (!m_pDocument)
        DbgLog(DBG_ERR, "XmlWriter::CreateNewCfg", __LINE__, "No file loaded");
    else if (IsEmpty(szName))
        DbgLog(DBG_ERR, "XmlWriter::CreateNewCfg", __LINE__, "Null config name supplied");
    else
        m_hCfg = m_pDocument->NewElement(szName);
    return m_hCfg;
}

XmlWriter::hCfg XmlWriter::AddCfg(hCfg hElement, hCfg hParent)
{
    if (!m_pDocument)
    {
        DbgLog(DBG_ERR, "XmlWriter::AddCfg", __LINE__, "No file loaded");
        return nullptr;
    }
    if (!hElement)
    {
        DbgLog(DBG_ERR, "XmlWriter::AddCfg", __LINE__, "Null hCfg supplied");
        return nullptr;
    }
    if (hParent)
        return hParent->InsertEndChild(hElement)->ToElement();
    if (tinyxml2::XMLElement* pRoot = m_pDocument->RootElement())
    {
        DbgLog(DBG_ERR, "XmlWriter::AddCfg", __LINE__,
               DbgLogFormat("Root element %s exists, you can not add another element at this level", pRoot->Name()));
        return nullptr;
    }
    return m_pDocument->InsertEndChild(hElement)->ToElement();
}

XmlWriter::hCfg XmlWriter::GetCfg(const char* szName, hCfg hParent, const char* szWantedName)
{
    m_hCfg = nullptr;
    if (!m_pDocument)
    {
        DbgLog(DBG_ERR, "XmlWriter::GetCfg", __LINE__, "No file loaded");
        return nullptr;
    }
    if (IsEmpty(szName))
    {
        DbgLog(DBG_ERR, "XmlWriter::GetCfg", __LINE__, "Null element name supplied");
        return nullptr;
    }

    const bool bMatchName = !IsEmpty(szWantedName);
    if (hParent)
    {
        for (tinyxml2::XMLElement* pChild = hParent->FirstChildElement(szName); pChild;
             pChild = pChild->NextSiblingElement(szName))
        {
            if (bMatchName)
            {
                const char* szAttr = pChild->Attribute("name");
                if (std::strcmp(szAttr ? szAttr : "", szWantedName) != 0)
                    continue;
            }
            m_hCfg = pChild;
            break;
        }
    }
    else
    {
        m_hCfg = m_pDocument->RootElement();
        if (m_hCfg && std::strcmp(m_hCfg->Name(), szName) != 0)
        {
            DbgLog(DBG_ERR, "XmlWriter::GetCfg", __LINE__, DbgLogFormat("Root element is %s and not %s", m_hCfg->Name(), szName));
            m_hCfg = nullptr;
            return nullptr;
        }
    }

    if (!m_hCfg && bCreateIfMissing)
    {
        DbgLog(DBG_INF, "XmlWriter::GetCfg", __LINE__, DbgLogFormat("Failed to find %s will attempt to create", szName));
        hCfg hNew = CreateNewCfg(szName);
        if (!hNew)
            DbgLog(DBG_ERR, "XmlWriter::GetCfg", __LINE__, DbgLogFormat("Failed to create Element %s", szName));
        else
            m_hCfg = AddCfg(hNew, hParent);
    }
    return m_hCfg;
}
