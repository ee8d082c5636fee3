#include "Form1.h"

#include "runtime/Declare.h"
#include "runtime/Services.h"
#include "runtime/Strings.h"

namespace zampoinst {
namespace {
const Declare<UINT(AnsiString, UINT)> GetSystemDirectoryA{"kernel32", "GetSystemDirectoryA"};
} // namespace

Form1::Form1()
    : Form({.Caption = u"REGISTRAR ARCHIVOS - peralto@zampolo.es",
            .BorderStyle = vbSizable,
            .MinButton = true,
            .MaxButton = true,
            .ClientWidth = 5895,
            .ClientHeight = 4725,
            .BackColor = RGB(192, 255, 192),
            .Icon = u":/images/pen.ico"}) {
    Command1.Click = [this] { Command1_Click(); };
    List2.AccessibleName = u"Archivos"; // for screen readers; the button reads its caption
}

void Form1::Form_Load() {
    Label1.Caption = u"Para windows XP y para windows VISTA ";
    FillFileList();
    SystemDirBuffer = FillString(260, Chr(0));
    SystemDirLength = GetSystemDirectoryA(SystemDirBuffer, static_cast<UINT>(Len(SystemDirBuffer)));
    SystemDir = Left(SystemDirBuffer, SystemDirLength);
    // The length counts 8-bit bytes: a character that takes several (UTF-8) makes it
    // longer than the text, and the NULs after the text must not join the path.
    if (InStr(SystemDir, Chr(0)) > 0) SystemDir = Left(SystemDir, InStr(SystemDir, Chr(0)) - 1);
    Label3.Caption = u"Estos archivos se han de copiar en la carpeta 'system32' de windows.";
}

void Form1::FillFileList() {
    List2.List(0) = u"MP3.DLL";
    List2.List(1) = u"MSVBVM50.DLL";
}

// Both entries, whatever is selected. No error is trapped: a failed copy or start
// ends the program with the runtime's report, leaving what was done before.
void Form1::Command1_Click() {
    // A system directory that did not fit the buffer (its length comes back, nothing is
    // written) or none at all names no folder: the targets would lie in the root.
    if (SystemDirLength <= 0 || SystemDirLength >= Len(SystemDirBuffer)) Raise(err::kPathNotFound);
    for (Integer i = 0; i <= 1; ++i) {
        const String name = List2.List(i);
        const String source = App.Path + u"\\" + name;
        const String target = SystemDir + u"\\" + name;
        if (Dir(target) != u"") {
            MsgBox(u"el archivo " + name + u" ya se encontraba en SYSTEM");
        } else if (Dir(source) == u"") {
            MsgBox(u"el archivo " + name + u" No lo encuentro");
        } else {
            FileCopy(source, target);
            Shell(u"REGSVR32.EXE " + name, vbMinimizedFocus);
        }
    }
    End();
}
} // namespace zampoinst
