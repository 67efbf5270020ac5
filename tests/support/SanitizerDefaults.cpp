// Sanitizer settings of the test programs that load GStreamer. GLib keeps a
// block from its start-up for good on purpose; the suppression matches only
// allocations made while shared libraries initialise, and needs the full
// unwinder to see that frame below g_malloc.
extern "C" const char* __asan_default_options() {
    return "fast_unwind_on_malloc=0";
}
extern "C" const char* __lsan_default_suppressions() {
    return "leak:_dl_init\n";
}
