// GStreamer's threads leave blocks alive at exit that hold a frame or two of video (see
// tests/lsan.supp). The leak checker can only tell them from ours by their GStreamer and GLib
// frames, which the fast unwinder does not reach in libraries built without frame pointers.
// Read by AddressSanitizer at start-up (ASAN_OPTIONS still adds to it); unused without it.
extern "C" __attribute__((visibility("default"), used)) const char* __asan_default_options() {
    return "fast_unwind_on_malloc=0";
}
