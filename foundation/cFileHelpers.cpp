#include "cFileHelpers.h"

#include "DbgLog.h"

#include <boost/filesystem.hpp>

bool cFileHelpers::CreateFolder(std::string sPath)
{
    static const char* const kFunction = "cFileHelpers::CreateFolder";
    if (sPath.empty())
        return false;
    while (!sPath.empty() && (sPath.back() == '\\' || sPath.back() == '/'))
        sPath.pop_back();
    if (sPath.empty())
        sPath = "/";

    try
    {
        const boost::filesystem::path folder(sPath);
        if (boost::filesystem::exists(folder))
        {
            if (boost::filesystem::is_directory(folder))
            {
                DbgLog(DBG_INF, kFunction, __LINE__, "CreateFolder() already exists");
                return true;
            }
            DbgLog(DBG_ERR, kFunction, __LINE__, DbgLogFormat("%s already exists but is not a folder", sPath.c_str()));
            return false;
        }
        DbgLog(DBG_INF, kFunction, __LINE__, DbgLogFormat("Folder %s does not exist", sPath.c_str()));
        boost::system::error_code ec;
        boost::filesystem::create_directories(folder, ec);
        if (!ec && boost::filesystem::is_directory(folder))
        {
            DbgLog(DBG_INF, kFunction, __LINE__, DbgLogFormat("Created folder %s", sPath.c_str()));
            return true;
        }
        DbgLog(DBG_ERR, kFunction, __LINE__, DbgLogFormat("Failed to create %s", sPath.c_str()));
        return false;
    }
    catch (const std::exception& e)
    {
        DbgLog(DBG_ERR, kFunction, __LINE__, DbgLogFormat("CreateFolder() fail: %s", e.what()));
        return false;
    }
}
