// zampoplay: plays the MP3 files of a folder in a shuffled order, endlessly.
//   zampoplay [--] [FOLDER]   plays FOLDER at once, or hands it to the player that runs
//                             already
#include "MediaKeys.h"
#include "frmPlayer.h"

#include "runtime/HandedFolders.h"
#include "runtime/Services.h"

#include "platform/VersionInfo.h"

#include <memory>

ZAMPOLO_VERSION_INFO("FileVersion=1.00\0ProductVersion=1.00\0Language=040A\0CodePage=04B0\0"
                     "CompanyName=Peralto\0FileDescription=Zampolo, reproductor aleatorio\0"
                     "ProductName=Zampolo\0OriginalFilename=zampoplay");

int main(int argc, char** argv) {
    return runtime::Main(argc, argv, u"Zampolo", [] {
        const runtime::String Folder = runtime::CommandFolder();
        // One player at a time: the one that runs takes the folder, and this start ends.
        if (Folder != u"" && runtime::HandToRunningProgram(u"zampoplay", Folder)) runtime::End();
        auto frm = std::make_shared<zampoplay::frmPlayer>();
        frm->Load();
        // Folders are taken before the remotes can hand one.
        runtime::AcceptFolders(
            u"zampoplay", frm->hWnd,
            [Player = frm.get()](const runtime::String& Handed) { Player->OpenFolder(Handed); });
        zampoplay::StartMediaKeys(frm); // the desktop's media keys, where there is a bus
        if (Folder != u"") frm->OpenFolder(Folder);
        return frm;
    });
}
