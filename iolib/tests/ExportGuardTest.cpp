// Exceptions out of Portelle's own code (not the plug-in's, which the families
// catch) must not cross the C boundary. This program makes chosen allocations
// fail: its operator new is the one every allocation in the process goes to.
#include "Portelle.h"
#include "PluginTestSupport.h"

#include <cstdlib>
#include <new>

namespace
{
// Counted on the test's thread only: the nth allocation after arming fails.
thread_local long t_nFailAt = 0;
thread_local long t_nAllocations = 0;
thread_local bool t_bFailed = false;

bool FailThisAllocation()
{
    if (t_nFailAt == 0 || ++t_nAllocations != t_nFailAt)
        return false;
    t_bFailed = true;
    return true;
}

// Makes the nth allocation of this thread fail while it lives.
class FailingAllocation
{
public:
    explicit FailingAllocation(long nFailAt)
    {
        t_nAllocations = 0;
        t_bFailed = false;
        t_nFailAt = nFailAt;
    }
    ~FailingAllocation() { t_nFailAt = 0; }
    bool Failed() const { return t_bFailed; }
};
} // namespace

// The replacements pair malloc with free throughout, which GCC cannot see.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

__attribute__((visibility("default"))) void* operator new(std::size_t nSize)
{
    void* pMemory = FailThisAllocation() ? nullptr : std::malloc(nSize ? nSize : 1);
    if (!pMemory)
        throw std::bad_alloc();
    return pMemory;
}

__attribute__((visibility("default"))) void* operator new(std::size_t nSize, const std::nothrow_t&) noexcept
{
    return FailThisAllocation() ? nullptr : std::malloc(nSize ? nSize : 1);
}

__attribute__((visibility("default"))) void* operator new[](std::size_t nSize)
{
    return operator new(nSize);
}

__attribute__((visibility("default"))) void operator delete(void* pMemory) noexcept
{
    std::free(pMemory);
}

__attribute__((visibility("default"))) void operator delete(void* pMemory, std::size_t) noexcept
{
    std::free(pMemory);
}

// Called when a constructor throws after a nothrow allocation.
__attribute__((visibility("default"))) void operator delete(void* pMemory, const std::nothrow_t&) noexcept
{
    std::free(pMemory);
}

__attribute__((visibility("default"))) void operator delete[](void* pMemory) noexcept
{
    std::free(pMemory);
}

__attribute__((visibility("default"))) void operator delete[](void* pMemory, std::size_t) noexcept
{
    std::free(pMemory);
}

namespace
{
int g_nUntouched = 0;
const NxHandle kUntouched = &g_nUntouched;

class ExportGuard : public PluginTest
{
};
} // namespace

// Each allocation a create makes is failed in turn (the family object, the
// handle registry, the plug-in's instance, the log): every run answers with a
// code, leaves the client's handle and nothing loaded, until one runs past the
// last allocation and succeeds. What escaped Portelle's code is logged.
TEST_F(ExportGuard, CreateAnswersEveryAllocationFailureWithACode)
{
    const std::string sPlugin = PluginPath("tc_full");
    const std::string sConfig = Config();
    // One create first, so that the log capture holds room enough for a run's
    // lines and allocates the same way in every run.
    NxHandle hFirst = nullptr;
    ASSERT_EQ(Nx_ConCreate(&hFirst, sPlugin.c_str(), 0, 0, sConfig.c_str()), Nx_OK);
    EXPECT_EQ(Nx_ConDestroy(hFirst), Nx_OK);
    bool bOutOfMemory = false;
    bool bEscaped = false;
    long nFailAt = 1;
    for (;; ++nFailAt)
    {
        m_Log.Clear();
        ASSERT_LT(nFailAt, 5000) << "create never ran out of allocations to fail";
        NxHandle hController = kUntouched;
        NxResult nResult = Nx_OK;
        bool bFailed = false;
        {
            FailingAllocation failing(nFailAt);
            nResult = Nx_ConCreate(&hController, sPlugin.c_str(), 0, 0, sConfig.c_str());
            bFailed = failing.Failed();
        }
        if (nResult == Nx_OK)
        {
            ASSERT_NE(hController, kUntouched);
            EXPECT_EQ(Nx_ConDestroy(hController), Nx_OK);
            if (!bFailed)
                break;
            continue;  // a failure absorbed on the way (a log line not written)
        }
        EXPECT_TRUE(bFailed);
        EXPECT_TRUE(nResult == Nx_ERR || nResult == Nx_OUTOFMEMORY) << "allocation " << nFailAt << ": " << nResult;
        EXPECT_EQ(hController, kUntouched) << "allocation " << nFailAt;
        EXPECT_FALSE(IsLoaded(sPlugin)) << "allocation " << nFailAt;
        bOutOfMemory = bOutOfMemory || m_Log.Contains("Nx_ConCreate (245): Failed to create new cControllerIFEx");
        for (const LogCapture::Line& line : m_Log.Lines())
            bEscaped = bEscaped || (line.sText.rfind("Nx_ConCreate (", 0) == 0 &&
                                    line.sText.find("Caught exception: std::bad_alloc") != std::string::npos);
    }
    EXPECT_GT(nFailAt, 3);
    EXPECT_TRUE(bOutOfMemory);
    EXPECT_TRUE(bEscaped);
    EXPECT_FALSE(IsLoaded(sPlugin));
}

// An exception in Portelle after the plug-in answered (here: its error line
// cannot be logged) is Nx_ERR under the export's name; the handle stays usable.
TEST_F(ExportGuard, ForwardingExportAnswersEscapedExceptionWithError)
{
    NxHandle hController = nullptr;
    const std::string sConfig = Config("ret.SetTimer=5");
    ASSERT_EQ(Nx_ConCreate(&hController, PluginPath("tc_full").c_str(), 0, 0, sConfig.c_str()), Nx_OK);
    bool bEscaped = false;
    for (long nFailAt = 1; nFailAt < 100; ++nFailAt)
    {
        NxResult nResult = Nx_OK;
        bool bFailed = false;
        {
            FailingAllocation failing(nFailAt);
            nResult = Nx_ConSetTimer(hController, 10);
            bFailed = failing.Failed();
        }
        if (!bFailed)
            break;
        EXPECT_TRUE(nResult == Nx_ERR || nResult == 5) << nResult;
        bEscaped = bEscaped || m_Log.Contains("Nx_ConSetTimer", DBG_ERR);
        EXPECT_EQ(Nx_ConSetTimer(hController, 10), 5);
    }
    EXPECT_TRUE(bEscaped) << m_Log.Dump();
    EXPECT_EQ(Nx_ConDestroy(hController), Nx_OK);
}
