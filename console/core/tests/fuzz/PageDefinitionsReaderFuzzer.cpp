// The page definitions file, read for both frame variants: whatever it holds,
// reading never crashes, and every item accepted is one the protocol can
// address, with a value holder of its declared type.
#include "FuzzInputFile.h"
#include "cPageDefinitionsReader.h"
#include "cPageList.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const char* szPath = FuzzInputFile::Write(pData, nSize);
    if (!szPath)
        return 0;
    for (const RC_Variant eVariant : {RC_Variant::ShortFrames, RC_Variant::LongFrames})
    {
        cPageList pages;
        if (cPageDefinitionsReader(eVariant).Read(szPath, pages) == cPageDefinitionsReader::Result::kCannotOpen &&
            pages.PageCount() != 0)
            std::abort();
        for (size_t nPage = 0; nPage < pages.PageCount(); ++nPage)
        {
            for (const PageItem& item : pages.Items(nPage))
            {
                if (item.nItem > 127 || !item.pValue || item.pValue->Type() != item.eType ||
                    (eVariant == RC_Variant::ShortFrames && item.nIndex != 0))
                    std::abort();
            }
        }
    }
    return 0;
}
