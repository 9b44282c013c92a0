#pragma once
#include <string>

class cFileHelpers
{
public:
    // Makes sure a folder (and its parents) exists; true when it does on return.
    static bool CreateFolder(std::string sPath);
};
