#pragma once
#include <cstdlib>
#include <string>

// Where the tests find the sources and the built programs: the environment
// may say otherwise, else the folders this build was configured with.
namespace TestPaths
{
inline std::string FromEnvironment(const char* szName, const char* szDefault)
{
    const char* szValue = std::getenv(szName);
    return (szValue && *szValue) ? szValue : szDefault;
}

inline std::string SourceDir()
{
    return FromEnvironment("KESTRUM_SOURCE_DIR", KESTRUM_TEST_SOURCE_DIR);
}

inline std::string BinDir()
{
    return FromEnvironment("KESTRUM_BIN_DIR", KESTRUM_TEST_BIN_DIR);
}
} // namespace TestPaths
