#pragma once
#include <memory>
#include <string>

namespace tinyxml2
{
class XMLDocument;
class XMLElement;
}

// Owns one parsed settings document and finds (or, when asked, creates) its
// configuration elements. Nothing is ever written back to disk; created
// documents and elements live in memory only.
class XmlWriter
{
public:
    using hCfg = tinyxml2::XMLElement*;

    XmlWriter(bool bCreateIfMissing, bool bReportErrors, const char* szRootName);
    virtual ~XmlWriter();
    XmlWriter(const XmlWriter&) = delete;
    XmlWriter& operator=(const XmlWriter&) = delete;

    bool LoadConfigFile(const char* szPath, const char* szSection);
    bool CreateConfigFile(const char* szPath);
    hCfg CreateNewCfg(const char* szName);
    hCfg AddCfg(hCfg hElement, hCfg hParent);
    hCfg GetCfg(const char* szName, hCfg hParent, const char* szWantedName);
    bool OpenFile(const char* szPath);
    void CloseFile();

    hCfg Current() const { return m_hCfg; }
    tinyxml2::XMLDocument* Document() const { return m_pDocument.get(); }

protected:
    hCfg m_hCfg = nullptr;
    bool bCreateIfMissing;
    bool bReportErrors;
    char m_szRootName[256];
    std::unique_ptr<tinyxml2::XMLDocument> m_pDocument;
    std::string m_sDocumentName;  // the path a created document stands for
};
