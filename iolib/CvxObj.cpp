#include "CvxObj.h"

#include "cHandleRegistry.h"

CvxObj::CvxObj(int32_t nObjType) : m_nObjType(nObjType)
{
    cHandleRegistry::Add(this);
}

CvxObj::~CvxObj()
{
    cHandleRegistry::Remove(this);
    m_nObjType = 0;
}

CvxObj* CvxObj::FromHandle(const void* hHandle)
{
    return cHandleRegistry::Find(hHandle);
}
