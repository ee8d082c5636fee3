// zampoplay: plays the MP3 files of a folder in a shuffled order, endlessly.
#include "frmPlayer.h"

#include "platform/VersionInfo.h"

ZAMPOLO_VERSION_INFO("FileVersion=1.00\0ProductVersion=1.00\0Language=040A\0CodePage=04B0\0"
                     "CompanyName=Peralto\0FileDescription=Zampolo, reproductor aleatorio\0"
                     "ProductName=Zampolo\0OriginalFilename=zampoplay");

int main(int argc, char** argv) {
    return runtime::RunProgram<zampoplay::frmPlayer>(argc, argv, u"Zampolo");
}
