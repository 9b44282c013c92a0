#pragma once

// GLib starts a pipeline's streaming tasks on pooled threads and hands each
// task over through futexes, which ThreadSanitizer does not see. A pooled
// thread that ran an earlier pipeline's task then seems to touch a new
// receiver's fields (even its mutexes) with no ordering after the thread
// that built it. These two calls state the ordering GLib gives: the owner
// marks its object handed over just before it starts the pipeline, and every
// callback GStreamer makes on its own threads takes it over before it reads
// the object. Outside a ThreadSanitizer build they are nothing.

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KESTRUM_GST_HANDOVER_CHECKED 1
#endif
#endif
#if defined(__SANITIZE_THREAD__) && !defined(KESTRUM_GST_HANDOVER_CHECKED)
#define KESTRUM_GST_HANDOVER_CHECKED 1
#endif

#ifdef KESTRUM_GST_HANDOVER_CHECKED
#include <sanitizer/tsan_interface.h>
#endif

// The owner: everything written to pObject so far is seen by the callbacks.
inline void GstHandOver(void* pObject)
{
#ifdef KESTRUM_GST_HANDOVER_CHECKED
    __tsan_release(pObject);
#else
    (void)pObject;
#endif
}

// A callback on one of GStreamer's threads, before it touches pObject.
inline void GstTakeOver(void* pObject)
{
#ifdef KESTRUM_GST_HANDOVER_CHECKED
    __tsan_acquire(pObject);
#else
    (void)pObject;
#endif
}
