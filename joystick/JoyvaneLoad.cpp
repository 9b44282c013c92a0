// Set-up and clean-up as the plug-in is loaded into and unloaded from a
// process: its own debug log, and no controller left polling.
#include "DbgLog.h"
#include "cInstanceTable.h"

namespace
{
__attribute__((constructor)) void onDLLLoad()
{
    DbgLogInitLibrary("JoyvaneDbg.txt");
    DbgLog(DBG_INF, "onDLLLoad", 33, "entered.");
}

__attribute__((destructor)) void onDLLUnload()
{
    cInstanceTable::Instance().DestroyAll();
    DbgLogReleaseLibrary();  // the closing lines, then the log goes with the library
}
} // namespace
