// ASan settings every fuzz target starts with (ASAN_OPTIONS still wins).
// The default 256 MB quarantine keeps the allocator handing out fresh
// pages, faulted in one by one, on every input long after the first
// seconds; 16 MB still holds many inputs' worth of freed memory for
// use-after-free reports. The same setting as the test command's runs.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=16"; }
