#pragma once
#include "CXLoadLibrary.h"
#include "CvxObj.h"
#include "Portelle.h"

#include <cstdint>

// One entry point a plug-in may export, with the lines that report binding it.
// The first two of a family are its init and destroy, which must exist; a null
// text is not logged.
struct cEntryPointSpec
{
    const char* szName;
    const char* szFoundText;    // optional entry points only
    int32_t nFoundLine;
    const char* szMissingText;  // ERR for the required ones, INF otherwise
    int32_t nMissingLine;
};

// An optional entry point reported under its own name, found or missing, with
// the line where the table names it.
#define NX_OPTIONAL_ENTRY(name) \
    {name, name " function found in the library", __LINE__, "Library does not have the " name " function", __LINE__}

// How one family loads its plug-in and reports it.
struct cLoadSpec
{
    const char* szFunction;  // written with every loading message
    int32_t nNullPathLine;
    const char* szNullPath;
    int32_t nLoadFailedLine;
    const char* szLoadFailed;
    const char* szBothFound;  // null: no progress lines at all (loading, loaded, both found)
    const cEntryPointSpec* pEntryPoints;
    int32_t nEntryPoints;
};

// A family object's plug-in: the loaded library, its entry points bound by
// name into slots in the order of the family's table, and the instance handle
// the plug-in's init writes. What a family does with them is its own.
class cPluginSource : public CvxObj
{
public:
    static constexpr int kMaxEntryPoints = 16;

    bool IsLoaded() const { return m_Loader.IsLoaded(); }
    bool HasInstance() const { return m_hLib != nullptr; }

protected:
    cPluginSource(int32_t nObjType, const cLoadSpec& spec);

    // Releases any earlier plug-in, loads this one and binds its entry points.
    // A missing required one releases it again: Nx_INVALIDSRC.
    NxResult Load(const char* szPath);
    // The family's way of letting go of its plug-in (instance first).
    virtual void ReleaseSource() = 0;
    // Forgets every entry point and unloads the library; the instance handle stays.
    void Unload();

    void* m_hLib = nullptr;
    void* m_EntryPoints[kMaxEntryPoints] = {};
    CXLoadLibrary m_Loader;

private:
    const cLoadSpec& m_LoadSpec;
};
