// Libraries for the registration tool's tests. GOODREG.DLL registers (and leaves a mark
// in $REGTEST_MARK), BADREG.DLL fails with E_FAIL.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" __attribute__((visibility("default"))) std::int32_t DllRegisterServer() {
#ifdef FAIL_REGISTRATION
    return static_cast<std::int32_t>(0x80004005u);
#else
    if (const char* mark = std::getenv("REGTEST_MARK"))
        if (FILE* f = std::fopen(mark, "w")) std::fclose(f);
    return 0;
#endif
}
