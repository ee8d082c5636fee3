#include "runtime/Declare.h"
#include "Text.h"

#include "platform/CodePage.h"
#include "platform/Libraries.h"

namespace runtime {
AnsiString::AnsiString(String& text) : target_(&text), ansi_(platform::ToAnsi(text)) {}
AnsiString::AnsiString(const String& text) : ansi_(platform::ToAnsi(text)) {}
AnsiString::~AnsiString() {
    if (target_) *target_ = platform::FromAnsi(ansi_);
}

namespace detail {
void* BindByName(const char* library, const char* function) {
    // Loading the same library again only counts a reference; the handle is kept for
    // the rest of the run, as the bound function needs it.
    HMODULE module = LoadLibraryA(library);
    if (!module) {
        Raise(err::kLibraryNotFound, u"Error al cargar la biblioteca '" + Utf16(library) + u"'");
    }
    FARPROC address = GetProcAddress(module, platform::EntryPointName(function));
    if (!address) {
        FreeLibrary(module);
        Raise(err::kEntryPointNotFound, u"No se encuentra el punto de entrada '" + Utf16(function) +
                                            u"' de la biblioteca '" + Utf16(library) + u"'");
    }
    return reinterpret_cast<void*>(address);
}
} // namespace detail
} // namespace runtime
