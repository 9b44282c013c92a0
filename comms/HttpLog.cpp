#include "HttpLog.h"

#include "DbgLog.h"

namespace nx::http
{
void HTTP_INFO(const char* szText)
{
    DbgLog(DBG_INF, "nx::http::HTTP_INFO", 20, szText, CAT_HTTP);
}

void HTTP_ERROR(const char* szText)
{
    DbgLog(DBG_ERR, "nx::http::HTTP_ERROR", 8, szText, CAT_HTTP);
}
} // namespace nx::http
