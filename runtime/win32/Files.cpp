// File look-up and copy over the Windows file functions.
#include "Native.h"
#include "Text.h"

#include "runtime/Services.h"

namespace runtime {
namespace {
String NameOf(const String& path) {
    return path.substr(path.find_last_of(u'\\') + 1);
}

[[noreturn]] void RaiseFor(DWORD error, int otherwise) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
        Raise(err::kFileNotFound);
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
        Raise(err::kPathNotFound);
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_WRITE_PROTECT:
        Raise(err::kPermissionDenied);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        Raise(err::kDiskFull);
    default:
        Raise(otherwise);
    }
}
} // namespace

String Dir(const String& path) {
    const String name = NameOf(path);
    if (name.empty() || name.front() == u'.') return {};
    // No wildcards: a name is looked up as it is.
    if (name.find_first_of(u"*?") != String::npos) return {};
    const DWORD attributes = GetFileAttributesW(detail::Wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)))
        return {};
    return name;
}

void FileCopy(const String& source, const String& target) {
    const std::wstring from = detail::Wide(source), to = detail::Wide(target);
    const DWORD sourceAttributes = GetFileAttributesW(from.c_str());
    if (sourceAttributes == INVALID_FILE_ATTRIBUTES)
        RaiseFor(GetLastError() == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : GetLastError(),
                 err::kPathFileAccess);
    if (sourceAttributes & FILE_ATTRIBUTE_DIRECTORY) Raise(err::kPathFileAccess);

    const auto slash = to.find_last_of(L'\\');
    const std::wstring folder = slash == std::wstring::npos ? L"." : to.substr(0, slash + 1);
    const std::wstring name = slash == std::wstring::npos ? to : to.substr(slash + 1);
    if (name.empty()) Raise(err::kPathFileAccess);
    const DWORD folderAttributes = GetFileAttributesW(folder.c_str());
    if (folderAttributes == INVALID_FILE_ATTRIBUTES ||
        !(folderAttributes & FILE_ATTRIBUTE_DIRECTORY))
        Raise(err::kPathNotFound);
    const DWORD old = GetFileAttributesW(to.c_str());
    if (old != INVALID_FILE_ATTRIBUTES) {
        if (old & FILE_ATTRIBUTE_DIRECTORY) Raise(err::kPathFileAccess);
        if (old & FILE_ATTRIBUTE_READONLY) Raise(err::kPermissionDenied);
    }

    // The copy is written under a hidden temporary name beside the target and moved onto
    // it only when complete, so no half-written file ever bears the target's name.
    wchar_t temp[MAX_PATH];
    if (!GetTempFileNameW(folder.c_str(), L"zam", 0, temp))
        RaiseFor(GetLastError(), err::kPathFileAccess);
    if (!CopyFileW(from.c_str(), temp, FALSE) ||
        !MoveFileExW(temp, to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        SetFileAttributesW(temp, FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(temp);
        RaiseFor(error, err::kPathFileAccess);
    }
    // The copy keeps the source's attributes, not the temporary file's.
    SetFileAttributesW(to.c_str(), sourceAttributes & ~FILE_ATTRIBUTE_HIDDEN);
}
} // namespace runtime
