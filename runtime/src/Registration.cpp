// The registration tool's entry points: the installer starts REGSVR32.EXE on this library
// as on any component. There is nothing to record, since the programs find the library
// by its file name, so both succeed.
#include <cstdint>

#define RUNTIME_EXPORT extern "C" __attribute__((visibility("default")))

RUNTIME_EXPORT std::int32_t DllRegisterServer() {
    return 0;
}
RUNTIME_EXPORT std::int32_t DllUnregisterServer() {
    return 0;
}
