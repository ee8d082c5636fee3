// zampoplay: plays the MP3 files of a folder in a shuffled order, endlessly.
#include "MediaKeys.h"
#include "frmPlayer.h"

#include "platform/VersionInfo.h"

#include <memory>

ZAMPOLO_VERSION_INFO("FileVersion=1.00\0ProductVersion=1.00\0Language=040A\0CodePage=04B0\0"
                     "CompanyName=Peralto\0FileDescription=Zampolo, reproductor aleatorio\0"
                     "ProductName=Zampolo\0OriginalFilename=zampoplay");

int main(int argc, char** argv) {
    return runtime::Main(argc, argv, u"Zampolo", [] {
        auto frm = std::make_shared<zampoplay::frmPlayer>();
        frm->Load();
        zampoplay::StartMediaKeys(frm); // the desktop's media keys, where there is a bus
        return frm;
    });
}
