// What every XML reader fuzzer sets up once: the readers' complaints about
// spoilt input would only slow the run down.
#include "DbgLog.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    DbgLogSetLevel(DBG_NUL);
    return 0;
}
