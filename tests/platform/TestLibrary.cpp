// A library that LoadLibraryA and GetProcAddress find in the tests.
extern "C" __attribute__((visibility("default"))) int WhereAmI() {
#ifdef IN_SYSTEM_DIR
    return 2;
#else
    return 1;
#endif
}
