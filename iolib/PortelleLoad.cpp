// Set-up and clean-up of Portelle's own debug log as the library is loaded
// into and unloaded from a process.
#include "DbgLog.h"

namespace
{
__attribute__((constructor)) void OnDLLLoad()
{
    DbgLogInitLibrary("PortelleDbg.txt");
    DbgLog(DBG_INF, "OnDLLLoad", 29, "Portelle", CAT_IOLIB);
}

__attribute__((destructor)) void OnDLLUnload()
{
    DbgLog(DBG_INF, "OnDLLUnload", 34, "Portelle", CAT_IOLIB);
    DbgLogReleaseLibrary();  // the closing lines, then the log goes with the library
}
} // namespace
