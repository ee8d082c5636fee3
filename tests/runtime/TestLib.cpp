// A small outside library for the binding tests.
extern "C" __attribute__((visibility("default"))) int Twice(int value) {
    return 2 * value;
}
