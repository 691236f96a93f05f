// glibc guards its time zone state with an internal lock that ThreadSanitizer cannot see, so two threads
// converting local times (the reader decoding a header, the virtual instrument building one) look like
// a race inside tzset. Nothing of ours is involved; silence exactly that frame.
extern "C" const char* __tsan_default_suppressions();
extern "C" const char* __tsan_default_suppressions() {
    return "race:tzset_internal\n";
}
