#pragma once
#include <string>

// Where a program finds the files installed with it. Programs sit in
// <prefix>/bin and the shared files in <prefix>/share/kestrum; the build tree
// has the same shape (build/bin, build/share/kestrum), so a program run from
// either finds its samples the same way.
class cInstallLayout
{
public:
    // The folder of the running program; empty when it cannot be told.
    static std::string ProgramFolder();
    // <program folder>/../share/kestrum, or empty when there is none.
    static std::string SharedDataFolder();
    // The sample settings and definitions files; empty when not installed.
    static std::string SampleConfigFolder();
    // sPath itself when it names an existing file (relative to the working
    // folder), otherwise the sample file of the same name when there is one,
    // otherwise sPath unchanged.
    static std::string ExistingOrSample(const std::string& sPath);
};
