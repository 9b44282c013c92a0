#pragma once

class CvxObj;

// The family objects that exist, so that a handle the client already destroyed
// (or never had) is refused instead of being dereferenced.
class cHandleRegistry
{
public:
    static void Add(CvxObj* pObj);
    static void Remove(CvxObj* pObj);
    static CvxObj* Find(const void* hHandle);
};
