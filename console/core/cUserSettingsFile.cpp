#include "cUserSettingsFile.h"

#include "cInstallLayout.h"

#include <boost/algorithm/string/replace.hpp>
#include <boost/filesystem.hpp>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <tinyxml2.h>

namespace fs = boost::filesystem;

namespace
{
std::string Environment(const char* szName)
{
    const char* szValue = std::getenv(szName);
    return szValue ? szValue : "";
}

// The relative path attributes that name a copied sample, with the copy's path.
void CollectCopies(const tinyxml2::XMLElement* pElement, const std::set<std::string>& copied, const fs::path& folder,
                   std::map<std::string, std::string>& replacements)
{
    for (; pElement; pElement = pElement->NextSiblingElement())
    {
        for (const tinyxml2::XMLAttribute* pAttribute = pElement->FirstAttribute(); pAttribute;
             pAttribute = pAttribute->Next())
        {
            const fs::path value(pAttribute->Value());
            if (!value.empty() && value.is_relative() && copied.count(value.filename().string()))
                replacements[pAttribute->Value()] = (folder / value.filename()).string();
        }
        CollectCopies(pElement->FirstChildElement(), copied, folder, replacements);
    }
}

// Written under a name of its own beside the target, then renamed onto it: no
// reader ever sees half a file, and two programs making the same copy at once
// both end with a whole one.
bool WriteWhole(const fs::path& target, const std::function<void(const fs::path&, boost::system::error_code&)>& write,
                std::string& sError)
{
    boost::system::error_code ec;
    const fs::path partial = target.parent_path() / fs::unique_path(target.filename().string() + ".%%%%%%%%.new", ec);
    if (!ec)
        write(partial, ec);
    if (!ec)
        fs::rename(partial, target, ec);
    if (!ec)
        return true;
    sError = "cannot write " + target.string() + ": " + ec.message();
    boost::system::error_code ecRemove;
    fs::remove(partial, ecRemove);
    return false;
}

std::string XmlEscaped(const std::string& sText)
{
    std::string sEscaped;
    for (char c : sText)
    {
        if (c == '&')
            sEscaped += "&amp;";
        else if (c == '<')
            sEscaped += "&lt;";
        else if (c == '"')
            sEscaped += "&quot;";
        else
            sEscaped += c;
    }
    return sEscaped;
}
} // namespace

std::string cUserSettingsFile::Folder()
{
    std::string sBase = Environment("XDG_CONFIG_HOME");
    // XDG base directory rules: a relative value is to be ignored.
    if (sBase.empty() || sBase[0] != '/')
        sBase = Environment("HOME") + "/.config";
    return sBase + "/kestrum";
}

cUserSettingsFile::Choice cUserSettingsFile::Choose(const std::string& sSamplesFolder)
{
    Choice choice;
    boost::system::error_code ec;
    if (fs::exists(kWorkingFolderFile, ec))
    {
        choice.sPath = kWorkingFolderFile;
        return choice;
    }
    const std::string sFolder = Folder();
    const std::string sUserFile = sFolder + "/" + kFileName;
    if (!fs::exists(sUserFile, ec))
    {
        if (!CreateFromSamples(sSamplesFolder, sFolder, choice.sError))
        {
            choice.sPath = kWorkingFolderFile;
            return choice;
        }
        choice.bCreated = true;
    }
    choice.sPath = sUserFile;
    return choice;
}

cUserSettingsFile::Choice cUserSettingsFile::ForCommandLine(const std::string& sNamed)
{
    if (!sNamed.empty())
    {
        Choice named;
        named.sPath = sNamed;
        return named;
    }
    return Choose(cInstallLayout::SampleConfigFolder());
}

std::string cUserSettingsFile::WouldChoose()
{
    boost::system::error_code ec;
    return fs::exists(kWorkingFolderFile, ec) ? kWorkingFolderFile : Folder() + "/" + kFileName;
}

bool cUserSettingsFile::CreateFromSamples(const std::string& sSamplesFolder, const std::string& sFolder,
                                          std::string& sError)
{
    boost::system::error_code ec;
    const fs::path samples(sSamplesFolder);
    if (sSamplesFolder.empty() || !fs::is_regular_file(samples / kFileName, ec))
    {
        sError = "no sample settings file" + (sSamplesFolder.empty() ? std::string() : " in " + sSamplesFolder);
        return false;
    }
    const fs::path folder(sFolder);
    fs::create_directories(folder, ec);
    if (ec)
    {
        sError = "cannot make " + sFolder + ": " + ec.message();
        return false;
    }

    std::set<std::string> copied;
    boost::system::error_code ecList;
    for (fs::directory_iterator it(samples, ecList), end; !ecList && it != end; it.increment(ecList))
    {
        const fs::path& sample = it->path();
        if (sample.extension() != ".xml" || !fs::is_regular_file(sample, ec))
            continue;
        copied.insert(sample.filename().string());
        if (sample.filename() == kFileName || fs::exists(folder / sample.filename(), ec))
            continue;
        const auto copy = [&sample](const fs::path& partial, boost::system::error_code& ecCopy) {
            fs::copy_file(sample, partial, ecCopy);
        };
        if (!WriteWhole(folder / sample.filename(), copy, sError))
            return false;
    }
    if (ecList)
    {
        sError = "cannot list " + sSamplesFolder + ": " + ecList.message();
        return false;
    }

    // The sample's own text with only those values changed: its layout and
    // comments stay, so the copy reads like the sample.
    const fs::path sample = samples / kFileName;
    std::ifstream in(sample.string(), std::ios::binary);
    const std::string sText((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    tinyxml2::XMLDocument document;
    if (!in || document.Parse(sText.c_str(), sText.size()) != tinyxml2::XML_SUCCESS)
    {
        sError = "cannot read " + sample.string() + (in ? std::string(": ") + document.ErrorStr() : std::string());
        return false;
    }
    std::map<std::string, std::string> replacements;
    CollectCopies(document.RootElement(), copied, folder, replacements);
    std::string sCopy = sText;
    for (const auto& [sOld, sNew] : replacements)
        boost::replace_all(sCopy, "=\"" + XmlEscaped(sOld) + "\"", "=\"" + XmlEscaped(sNew) + "\"");

    // Last, since a settings file there means the copy is complete.
    const auto write = [&sCopy](const fs::path& partial, boost::system::error_code& ecWrite) {
        std::ofstream out(partial.string(), std::ios::binary | std::ios::trunc);
        if (!(out << sCopy).flush())
            ecWrite = boost::system::errc::make_error_code(boost::system::errc::io_error);
    };
    return WriteWhole(folder / kFileName, write, sError);
}
