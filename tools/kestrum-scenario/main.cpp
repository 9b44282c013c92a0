// kestrum-scenario: runs a system test of a scenario file without a display,
// for test rigs and CI jobs.
#include "DbgLog.h"
#include "cScenarioOptions.h"
#include "cScenarioRunner.h"

#include <cstdio>

int main(int argc, char* argv[])
{
    cScenarioOptions options;
    switch (options.Parse(argc, argv))
    {
    case cScenarioOptions::eParse::Help:
        std::fputs(cScenarioOptions::Usage(), stdout);
        return 0;
    case cScenarioOptions::eParse::Error:
        std::fprintf(stderr, "kestrum-scenario: %s\n\n%s", options.Error().c_str(), cScenarioOptions::Usage());
        return cScenarioRunner::kUsage;
    case cScenarioOptions::eParse::Run:
        break;
    }
    if (options.m_bVersion)
    {
        std::printf("kestrum-scenario %s\n", KESTRUM_VERSION);
        return 0;
    }
    // A log of our own, so that a console started in the same folder keeps its file.
    DbgLogInitLibrary("KestrumScenarioDebugLog.txt");
    cScenarioRunner runner(options, stdout, stderr);
    return runner.Run();
}
