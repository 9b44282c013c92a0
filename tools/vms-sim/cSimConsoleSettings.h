#pragma once
#include "cKestrumSettings.h"

#include <string>

// The console's settings as the simulator takes its defaults from them, read
// as the console reads them: the file it would choose (making the user's copy
// from the samples on first start, as it does) or the one named, with the
// per-user comms settings over it. A settings file that cannot be read leaves
// the simulator's built-in defaults, the per-user comms settings still over
// them, and one sentence saying why.
class cSimConsoleSettings
{
public:
    // sNamed: the --settings file; empty for the console's own choice.
    void Load(const std::string& sNamed);

    const cKestrumSettings& Settings() const { return m_Settings; }
    const std::string& Path() const { return m_sPath; }
    // Why the settings file was not read; empty when it was.
    const std::string& Problem() const { return m_sProblem; }
    // Where the values came from: the file (and whether it was made just now)
    // with the per-user comms settings, or the built-in defaults.
    std::string Source() const;

    // cKestrumSettings holding the simulator's own defaults (cSimOptions').
    static cKestrumSettings BuiltIn();

private:
    cKestrumSettings m_Settings;
    std::string m_sPath;
    std::string m_sProblem;
    std::string m_sUserComms;  // the per-user comms settings file, when there is one
    bool m_bCreated = false;
};
