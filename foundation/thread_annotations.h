#pragma once
// Clang's thread-safety annotations; empty elsewhere. They document which
// lock guards which field and let clang check it.
#if defined(__clang__)
#define NAVI_TSA(x) __attribute__((x))
#else
#define NAVI_TSA(x)
#endif

#define NAVI_CAPABILITY(x) NAVI_TSA(capability(x))
#define NAVI_GUARDED_BY(x) NAVI_TSA(guarded_by(x))
#define NAVI_PT_GUARDED_BY(x) NAVI_TSA(pt_guarded_by(x))
#define NAVI_ACQUIRE(...) NAVI_TSA(acquire_capability(__VA_ARGS__))
#define NAVI_RELEASE(...) NAVI_TSA(release_capability(__VA_ARGS__))
#define NAVI_REQUIRES(...) NAVI_TSA(requires_capability(__VA_ARGS__))
#define NAVI_SCOPED_CAPABILITY NAVI_TSA(scoped_lockable)
#define NAVI_NO_THREAD_SAFETY_ANALYSIS NAVI_TSA(no_thread_safety_analysis)
