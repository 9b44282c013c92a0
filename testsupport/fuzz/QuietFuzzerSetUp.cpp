// What every fuzzer sets up once: the complaints about spoilt input would
// only slow the run down and fill its log.
#include "DbgLog.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    DbgLogSetLevel(DBG_NUL);
    return 0;
}
