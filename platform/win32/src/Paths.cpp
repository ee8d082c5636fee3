#include "platform/Paths.h"

#include "platform/CodePage.h"

namespace platform {

std::u16string FromNativePath(std::string_view native) {
    return FromAnsi(native);
}
std::string ToNativePath(std::u16string_view path) {
    return ToAnsi(path);
}
std::string NativePathFromAnsi(std::string_view ansiPath) {
    return std::string(ansiPath);
}
std::string AnsiFromNativePath(std::string_view native) {
    return std::string(native);
}

} // namespace platform
