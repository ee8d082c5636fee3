// Pictures read by OLE's picture loader, the one every Windows program has: GIF, BMP
// and ICO from the program's resources or from files.
#include "Native.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <vector>

namespace runtime::detail {
namespace {
// The bytes of an RCDATA resource named by the path (":/images/stop.gif"), or of a file.
bool ReadPicture(const String& path, std::vector<char>& bytes) {
    if (path.starts_with(u":/")) {
        HMODULE program = GetModuleHandleW(nullptr);
        HRSRC found = FindResourceW(program, Wide(path).c_str(), MAKEINTRESOURCEW(10));
        if (!found) return false;
        HGLOBAL loaded = LoadResource(program, found);
        const auto* data = static_cast<const char*>(LockResource(loaded));
        if (!data) return false;
        bytes.assign(data, data + SizeofResource(program, found));
        return true;
    }
    std::ifstream file(Wide(path).c_str(), std::ios::binary);
    if (!file) return false;
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return true;
}
} // namespace

IPicture* LoadPicture(const String& path) {
    std::vector<char> bytes;
    if (!ReadPicture(path, bytes))
        Raise(err::kFileNotFound, u"No se ha encontrado el archivo '" + path + u"'");
    IPicture* picture = nullptr;
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size())) {
        std::copy(bytes.begin(), bytes.end(), static_cast<char*>(GlobalLock(memory)));
        GlobalUnlock(memory);
        IStream* stream = nullptr;
        if (SUCCEEDED(CreateStreamOnHGlobal(memory, TRUE, &stream))) {
            if (FAILED(OleLoadPicture(stream, LONG(bytes.size()), FALSE, IID_IPicture,
                                      reinterpret_cast<void**>(&picture))))
                picture = nullptr;
            stream->Release();
        } else {
            GlobalFree(memory);
        }
    }
    if (!picture) Raise(err::kInvalidPicture, u"Imagen no válida: '" + path + u"'");
    return picture;
}

SIZE PictureSize(IPicture* picture) {
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture->get_Width(&width);
    picture->get_Height(&height);
    // HIMETRIC (hundredths of a millimetre) at the screen's resolution.
    const double pixelsPerHimetric = 1440.0 / TwipsPerPixel() / 2540.0;
    return {LONG(std::lround(width * pixelsPerHimetric)),
            LONG(std::lround(height * pixelsPerHimetric))};
}
} // namespace runtime::detail
