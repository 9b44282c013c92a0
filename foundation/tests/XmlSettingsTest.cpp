#include "LogCapture.h"
#include "TempDir.h"
#include "XmlReader.h"
#include "cXmlAttributes.h"

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>
#include <tinyxml2.h>

namespace
{
const char* const kSettings = R"(<?xml version="1.0" encoding="utf-8"?>
<VMS_Cfg>
  <Kestrum nPort="0x10" nCount="12" nLetters="abc" bYes="YES" bTrue="True" bOne="1" bNo="no" bFalse="FALSE"
           bZero="0" bTwo="2" dGain="0.25" dBad="x" sName="console"/>
  <Channel name="a" nValue="1"/>
  <Channel name="b" nValue="2"/>
  <Channel nValue="3"/>
</VMS_Cfg>
)";

class XmlSettings : public ::testing::Test
{
protected:
    void SetUp() override { m_Dir.Write("settings.xml", kSettings); }
    std::string Path(const char* szName = "settings.xml") const { return m_Dir.File(szName); }

    TempDir m_Dir;
    LogCapture m_Log;
};
} // namespace

TEST_F(XmlSettings, SectionUnderRootIsFoundAndIntegersFollowTheirFormat)
{
    XmlReader reader(false, true, "VMS_Cfg");
    ASSERT_TRUE(reader.LoadConfigFile(Path().c_str(), "Kestrum"));
    int nValue = -1;
    EXPECT_TRUE(reader.GetCfgInt("nCount", nValue));
    EXPECT_EQ(nValue, 12);
    EXPECT_TRUE(reader.GetCfgInt("nPort", nValue));  // "%d" stops at the x
    EXPECT_EQ(nValue, 0);
    EXPECT_TRUE(reader.GetAttrInt(reader.Current(), "nPort", nValue));  // "%i" takes the prefix
    EXPECT_EQ(nValue, 16);
    nValue = -1;
    EXPECT_TRUE(reader.GetCfgInt("nLetters", nValue));
    EXPECT_EQ(nValue, 0);
    nValue = -1;
    EXPECT_FALSE(reader.GetCfgInt("nAbsent", nValue));
    EXPECT_FALSE(reader.GetCfgInt("", nValue));
    EXPECT_FALSE(reader.GetCfgInt(nullptr, nValue));
    EXPECT_EQ(nValue, -1);
    std::string sName;
    EXPECT_TRUE(reader.GetAttrString(reader.Current(), "sName", sName));
    EXPECT_EQ(sName, "console");
    EXPECT_FALSE(reader.GetAttrString(nullptr, "sName", sName));
}

TEST_F(XmlSettings, BooleansRealsAndAbsentKeysFollowTheSharedRules)
{
    XmlReader reader(false, true, "VMS_Cfg");
    ASSERT_TRUE(reader.LoadConfigFile(Path().c_str(), "Kestrum"));
    const auto* pSection = reader.Current();
    for (const char* szTrue : {"bYes", "bTrue", "bOne"})
    {
        bool bValue = false;
        EXPECT_TRUE(cXmlAttributes::ReadBool(pSection, szTrue, bValue)) << szTrue;
        EXPECT_TRUE(bValue) << szTrue;
    }
    for (const char* szFalse : {"bNo", "bFalse", "bZero"})
    {
        bool bValue = true;
        EXPECT_TRUE(cXmlAttributes::ReadBool(pSection, szFalse, bValue)) << szFalse;
        EXPECT_FALSE(bValue) << szFalse;
    }
    bool bUnchanged = true;
    EXPECT_FALSE(cXmlAttributes::ReadBool(pSection, "bTwo", bUnchanged));
    EXPECT_FALSE(cXmlAttributes::ReadBool(pSection, "bAbsent", bUnchanged));
    EXPECT_TRUE(bUnchanged);

    double dValue = -1.0;
    EXPECT_TRUE(cXmlAttributes::ReadReal(pSection, "dGain", dValue));
    EXPECT_DOUBLE_EQ(dValue, 0.25);
    EXPECT_TRUE(cXmlAttributes::ReadReal(pSection, "dBad", dValue));
    EXPECT_DOUBLE_EQ(dValue, 0.0);
    dValue = -1.0;
    EXPECT_FALSE(cXmlAttributes::ReadReal(pSection, "dAbsent", dValue));
    EXPECT_DOUBLE_EQ(dValue, -1.0);

    int nDefault = 7;
    EXPECT_FALSE(cXmlAttributes::ReadInt(pSection, "nAbsent", nDefault));
    EXPECT_EQ(nDefault, 7);
}

// A root element named like the section is the section itself; one reader
// loads several sections in turn.
TEST_F(XmlSettings, RootNamedLikeSectionAndReuseOfOneReader)
{
    m_Dir.Write("joystick.xml", R"(<Joystick nAxes="3"/>)");
    XmlReader reader(false, true, "VMS_Cfg");
    ASSERT_TRUE(reader.LoadConfigFile(Path("joystick.xml").c_str(), "Joystick"));
    int nAxes = 0;
    EXPECT_TRUE(reader.GetCfgInt("nAxes", nAxes));
    EXPECT_EQ(nAxes, 3);
    ASSERT_TRUE(reader.LoadConfigFile(Path().c_str(), "Kestrum"));
    EXPECT_FALSE(reader.GetCfgInt("nAxes", nAxes));
}

TEST_F(XmlSettings, MissingSectionFailsWithWarning)
{
    XmlReader reader(false, true, "VMS_Cfg");
    EXPECT_FALSE(reader.LoadConfigFile(Path().c_str(), "EoTrackData"));
    EXPECT_EQ(reader.Document(), nullptr);
    EXPECT_TRUE(m_Log.Contains("Failed to load " + Path() + " and find EoTrackData", DBG_WRN)) << m_Log.Dump();

    XmlReader quiet(false, false, "VMS_Cfg");
    EXPECT_FALSE(quiet.LoadConfigFile(Path().c_str(), "EoTrackData"));
    EXPECT_EQ(m_Log.Count("and find EoTrackData", DBG_INF), 1);
}

// Missing and malformed files fail with an error; with create-if-missing an
// in-memory document with root and section stands in, and nothing is written.
TEST_F(XmlSettings, MissingOrMalformedFile)
{
    m_Dir.Write("broken.xml", "<VMS_Cfg><Kestrum nPort=\"1\"></VMS_Cfg>");
    for (const char* szName : {"absent.xml", "broken.xml"})
    {
        m_Log.Clear();
        XmlReader reader(false, true, "VMS_Cfg");
        EXPECT_FALSE(reader.LoadConfigFile(Path(szName).c_str(), "Kestrum")) << szName;
        EXPECT_TRUE(m_Log.Contains("XmlWriter::LoadConfigFile", DBG_ERR)) << m_Log.Dump();
        EXPECT_TRUE(m_Log.Contains("Failed to load " + Path(szName), DBG_ERR)) << m_Log.Dump();

        XmlReader creator(true, true, "VMS_Cfg");
        ASSERT_TRUE(creator.LoadConfigFile(Path(szName).c_str(), "Kestrum")) << szName;
        EXPECT_STREQ(creator.Current()->Name(), "Kestrum");
        EXPECT_STREQ(creator.Document()->RootElement()->Name(), "VMS_Cfg");
        int nPort = -1;
        EXPECT_FALSE(creator.GetCfgInt("nPort", nPort));
        EXPECT_EQ(nPort, -1);
    }
    EXPECT_FALSE(boost::filesystem::exists(Path("absent.xml")));

    XmlReader reader(false, true, "VMS_Cfg");
    EXPECT_FALSE(reader.LoadConfigFile("", "Kestrum"));
    EXPECT_TRUE(m_Log.Contains("Filename was null", DBG_ERR));
    EXPECT_FALSE(reader.LoadConfigFile(Path().c_str(), ""));
    EXPECT_TRUE(m_Log.Contains("Null element name supplied", DBG_ERR));
}

TEST_F(XmlSettings, GetCfgMatchesNameAttributeAndGuardsTheRoot)
{
    XmlReader reader(true, true, "VMS_Cfg");
    ASSERT_TRUE(reader.LoadConfigFile(Path().c_str(), "Kestrum"));
    XmlWriter::hCfg hRoot = reader.Document()->RootElement();

    XmlWriter::hCfg hB = reader.GetCfg("Channel", hRoot, "b");
    ASSERT_NE(hB, nullptr);
    int nValue = 0;
    EXPECT_TRUE(reader.GetCfgInt("nValue", nValue));
    EXPECT_EQ(nValue, 2);
    ASSERT_NE(reader.GetCfg("Channel", hRoot, ""), nullptr);
    EXPECT_TRUE(reader.GetCfgInt("nValue", nValue));
    EXPECT_EQ(nValue, 1);

    // Created on demand, but without the wanted name attribute.
    XmlWriter::hCfg hNew = reader.GetCfg("Channel", hRoot, "zz");
    ASSERT_NE(hNew, nullptr);
    EXPECT_EQ(hNew->Attribute("name"), nullptr);

    // The root can never be replaced, whatever the flags.
    EXPECT_EQ(reader.GetCfg("Other", nullptr, ""), nullptr);
    EXPECT_TRUE(m_Log.Contains("Root element is VMS_Cfg and not Other", DBG_ERR));
    EXPECT_EQ(reader.AddCfg(reader.CreateNewCfg("Second"), nullptr), nullptr);
    EXPECT_TRUE(m_Log.Contains("Root element VMS_Cfg exists, you can not add another element at this level", DBG_ERR));
    EXPECT_EQ(reader.AddCfg(nullptr, hRoot), nullptr);
    EXPECT_TRUE(m_Log.Contains("Null hCfg supplied", DBG_ERR));

    reader.CloseFile();
    EXPECT_EQ(reader.GetCfg("Kestrum", nullptr, ""), nullptr);
    EXPECT_TRUE(m_Log.Contains("XmlWriter::GetCfg", DBG_ERR));
    EXPECT_EQ(reader.CreateNewCfg("X"), nullptr);
    EXPECT_TRUE(m_Log.Contains("No file loaded", DBG_ERR));
}
