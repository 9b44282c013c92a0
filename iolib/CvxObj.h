#pragma once
#include <cstdint>

// Base of every device family object. The address of the family object is the
// handle a client holds; the tag says which family it belongs to.
class CvxObj
{
public:
    virtual ~CvxObj();
    CvxObj(const CvxObj&) = delete;
    CvxObj& operator=(const CvxObj&) = delete;

    virtual bool IsValid() const = 0;
    int32_t ObjType() const { return m_nObjType; }

    // The live family object behind a client's handle, or null when the value is
    // not one (never created, already destroyed). Never dereferences the value.
    static CvxObj* FromHandle(const void* hHandle);

protected:
    explicit CvxObj(int32_t nObjType);

    int32_t m_nObjType;
};
