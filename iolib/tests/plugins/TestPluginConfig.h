#pragma once
// Behaviour of a test plug-in, read from the text the test hands to its init
// entry point: whitespace-separated settings
//   init=N             init answers N and creates nothing
//   throw=A,B | all    these entry points throw (destroy frees its instance first)
//   ret=N  ret.Op=N    what forwarding entry points answer (all, or one)
//   states=N           a controller delivers N scripted records after SetCallback
//   journal=PATH       every call is appended to this file
#include <cstdarg>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>

struct cTestPluginConfig
{
    int nInitResult = 0;
    bool bThrowAll = false;
    std::set<std::string> throwing;
    int nDefaultResult = 0;
    std::map<std::string, int> results;
    int nStates = 0;
    std::string sJournal;

    static cTestPluginConfig Parse(const char* szText)
    {
        cTestPluginConfig config;
        std::istringstream words(szText ? szText : "");
        std::string sWord;
        while (words >> sWord)
        {
            const std::string::size_type nEquals = sWord.find('=');
            if (nEquals == std::string::npos)
                continue;
            const std::string sKey = sWord.substr(0, nEquals);
            const std::string sValue = sWord.substr(nEquals + 1);
            if (sKey == "init")
                config.nInitResult = std::stoi(sValue);
            else if (sKey == "throw")
                config.AddThrowing(sValue);
            else if (sKey == "ret")
                config.nDefaultResult = std::stoi(sValue);
            else if (sKey.rfind("ret.", 0) == 0)
                config.results[sKey.substr(4)] = std::stoi(sValue);
            else if (sKey == "states")
                config.nStates = std::stoi(sValue);
            else if (sKey == "journal")
                config.sJournal = sValue;
        }
        return config;
    }

    void AddThrowing(const std::string& sList)
    {
        std::istringstream names(sList);
        std::string sName;
        while (std::getline(names, sName, ','))
        {
            if (sName == "all")
                bThrowAll = true;
            else
                throwing.insert(sName);
        }
    }

    void ThrowIfAsked(const char* szOperation) const
    {
        if (bThrowAll || throwing.count(szOperation))
            throw std::runtime_error(std::string("test plug-in asked to throw in ") + szOperation);
    }

    int Result(const char* szOperation) const
    {
        const auto it = results.find(szOperation);
        return it == results.end() ? nDefaultResult : it->second;
    }

    void Journal(const char* szFormat, ...) const __attribute__((format(printf, 2, 3)))
    {
        if (sJournal.empty())
            return;
        FILE* pFile = std::fopen(sJournal.c_str(), "a");
        if (!pFile)
            return;
        va_list args;
        va_start(args, szFormat);
        std::vfprintf(pFile, szFormat, args);
        va_end(args);
        std::fputc('\n', pFile);
        std::fclose(pFile);
    }
};

// The instance handle a test plug-in gives out: its configuration.
struct cTestInstance
{
    cTestPluginConfig config;
};

// One forwarding entry point: journal, maybe throw, answer as configured.
inline int TestForward(void* hLib, const char* szOperation, const char* szFormat = "", unsigned long nA = 0,
                       unsigned long nB = 0, unsigned long nC = 0, unsigned long nD = 0)
{
    const cTestPluginConfig& config = static_cast<cTestInstance*>(hLib)->config;
    char szArgs[256];
    std::snprintf(szArgs, sizeof(szArgs), szFormat, nA, nB, nC, nD);
    config.Journal("%s%s%s", szOperation, *szArgs ? " " : "", szArgs);
    config.ThrowIfAsked(szOperation);
    return config.Result(szOperation);
}

// Init shared by the test plug-ins: journal, maybe throw or fail, else create.
inline int TestInit(void** phLib, const char* szConfig, const char* szArgs)
{
    cTestPluginConfig config = cTestPluginConfig::Parse(szConfig);
    config.Journal("Init %s", szArgs);
    config.ThrowIfAsked("Init");
    if (config.nInitResult != 0)
        return config.nInitResult;
    *phLib = new cTestInstance{config};
    return 0;
}

inline int TestDestroy(void* hLib)
{
    cTestInstance* pInstance = static_cast<cTestInstance*>(hLib);
    const cTestPluginConfig config = pInstance->config;
    config.Journal("Destroy");
    delete pInstance;
    config.ThrowIfAsked("Destroy");
    return 0;
}
