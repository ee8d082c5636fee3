// zampoinst: puts the player's support libraries into the system directory.
#include "Form1.h"

#include "platform/VersionInfo.h"

ZAMPOLO_VERSION_INFO("FileVersion=1.00\0ProductVersion=1.00\0Language=040A\0CodePage=04B0\0"
                     "CompanyName=Peralto\0FileDescription=Zampolo, registrar archivos\0"
                     "ProductName=Zampolo\0OriginalFilename=zampoinst");

int main(int argc, char** argv) {
    return runtime::RunProgram<zampoinst::Form1>(argc, argv, u"Registrar archivos");
}
