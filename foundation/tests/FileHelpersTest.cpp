#include "LogCapture.h"
#include "TempDir.h"
#include "cFileHelpers.h"

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

// Trailing separators are ignored, missing parents are created, and a second
// call finds the folder in place.
TEST(FileHelpers, CreatesNestedFolderOnceAndFindsItAfterwards)
{
    LogCapture log;
    TempDir dir;
    const std::string sFolder = dir.File("Halvorn/Logs");
    EXPECT_TRUE(cFileHelpers::CreateFolder(sFolder + "/"));
    EXPECT_TRUE(boost::filesystem::is_directory(sFolder));
    EXPECT_TRUE(log.Contains("Created folder " + sFolder, DBG_INF)) << log.Dump();
    EXPECT_TRUE(cFileHelpers::CreateFolder(sFolder + "\\//"));
    EXPECT_TRUE(log.Contains("cFileHelpers::CreateFolder", DBG_INF));
    EXPECT_TRUE(log.Contains("CreateFolder() already exists", DBG_INF));
}

TEST(FileHelpers, RefusesEmptyPathAndExistingFile)
{
    LogCapture log;
    TempDir dir;
    dir.Write("plain", "x");
    EXPECT_FALSE(cFileHelpers::CreateFolder(""));
    EXPECT_FALSE(cFileHelpers::CreateFolder(dir.File("plain")));
    EXPECT_TRUE(log.Contains(dir.File("plain") + " already exists but is not a folder", DBG_ERR));
    EXPECT_FALSE(cFileHelpers::CreateFolder(dir.File("plain/below")));
    EXPECT_TRUE(log.Contains("Failed to create", DBG_ERR) || log.Contains("CreateFolder() fail", DBG_ERR)) << log.Dump();
}
