// A small outside library for the binding tests.
#include "platform/Types.h"

extern "C" __attribute__((visibility("default"))) int WINAPI Twice(int value) {
    return 2 * value;
}
