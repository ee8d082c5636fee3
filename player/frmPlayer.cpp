#include "frmPlayer.h"

#include "AuxFuncs.h"
#include "MP3Control.h"
#include "MP3Request.h"

#include "runtime/Declare.h"
#include "runtime/Services.h"
#include "runtime/Strings.h"

#include "platform/CodePage.h"

#include <algorithm>
#include <string>
#include <vector>

// Statement-by-statement error continuation (Command1_Click, MessageReceived): a
// statement that fails is abandoned and the next one runs; a condition whose test
// fails counts as met.
#define STEP(...) runtime::Try([&] { __VA_ARGS__; })
#define IF_MET(...) if (runtime::TryCondition([&] { return __VA_ARGS__; }))

namespace zampoplay {
namespace {
// The shell's browse-information record, in the shell's field order.
struct BROWSEINFO {
    HWND hOwner;
    void* pidlRoot;
    char* pszDisplayName;
    const char* lpszTitle;
    UINT ulFlags;
    void* lpfn;
    LPARAM lParam;
    int iImage;
};
constexpr UINT BIF_RETURNONLYFSDIRS = 1;

const Declare<void*(BROWSEINFO*)> SHBrowseForFolderA{"shell32", "SHBrowseForFolderA"};
const Declare<BOOL(void*, AnsiString)> SHGetPathFromIDListA{"shell32", "SHGetPathFromIDListA"};
const Declare<void(void*)> CoTaskMemFree{"ole32", "CoTaskMemFree"};

constexpr Integer kMaxSongs = 1001; // the slots of PlayOrder
} // namespace

frmPlayer::frmPlayer()
    : Form({.Caption = u"Zampolo 1.0 - peralto@zampolo.es",
            .BorderStyle = vbFixedSingle,
            .MinButton = false,
            .MaxButton = false,
            .ClientWidth = 6705,
            .ClientHeight = 1185,
            .BackColor = RGB(255, 255, 255),
            .Font = {u"Arial", 8.25f},
            .Icon = u":/images/butterfly.ico"}) {
    Command1.Click = [this] { Command1_Click(); };
    Command2.Click = [this] { Command2_Click(); };
    Command3.Click = [this] { Command3_Click(); };
    Command4.Click = [this] { Command4_Click(); };
    Command5.Click = [this] { Command5_Click(); };
    Command6.Click = [this] { Command6_Click(); };
    Command7.Click = [this] { Command7_Click(); };
    Command8.Click = [this] { Command8_Click(); };

    // For the pointer, and so for screen readers too.
    Command5.ToolTipText = u"Elegir carpeta";
    Command1.ToolTipText = u"Reproducir";
    Command2.ToolTipText = u"Siguiente";
    Command3.ToolTipText = u"Repetir";
    Command4.ToolTipText = u"Anterior";
    Command7.ToolTipText = u"Parar";
    Command8.ToolTipText = u"Acerca de";
    Command6.ToolTipText = u"Minimizar";
    LCD.AccessibleName = u"Tiempo restante";
    ProgressBar.AccessibleName = u"Progreso";
    ProgressBar.AccessibleRole = vbRoleProgressBar;
}

void frmPlayer::Form_Load() {
    Randomize();
    HookWindow(shared_from_this());
    CurrentRequest.WindowHandle = hWnd;
    IsPlaying = false;
    LCD.Top = LCD.Top + 50;
    Command1.Enabled = false;
    Command2.Enabled = false;
    Command3.Enabled = false;
    Command4.Enabled = false;
    Command7.Enabled = false;
}

void frmPlayer::Command6_Click() {
    WindowState = vbMinimized;
}

void frmPlayer::Command8_Click() {
    MsgBox(u"Programa de reproducción aleatoria de canciones. Autor: Peralto");
}

void frmPlayer::Form_QueryUnload(Integer& Cancel, Integer UnloadMode) {
    (void)Cancel;
    (void)UnloadMode;
    UnhookWindow();
}

void frmPlayer::Form_Unload(Integer& Cancel) {
    // First close while a list plays: stop the song and stay open. The hook is already
    // gone, so the song's end message starts nothing.
    if (IsPlaying) {
        StopPlayback();
        IsPlaying = false;
        Cancel = 1;
        // The window stays a player: a list played later goes on song after song, and
        // the next close is a first one again. The hook comes back with the list
        // stopped, so the stopped song's end (still to come) starts nothing either.
        PlayPosition = SongCount;
        HookWindow(shared_from_this());
    }
}

void frmPlayer::Command1_Click() {
    // A folder that cannot be listed yields no songs: the file list still holds the
    // folder before it, whose songs must not play.
    const bool Listed = STEP(File1.Path = Text1.Text);
    IF_MET(Text1.Text.Get() != u"") {
        STEP(List1.Clear());
        STEP(List2.Clear());
        STEP(ProgressX = 0);
        STEP(ProgressBar.AutoRedraw = true);
        STEP(ProgressBar.Cls());
        STEP(ProgressBar.AutoRedraw = false);
        STEP(SongCount = 0);

        // The file list counts in Long: a folder may hold a whole collection. One with
        // more MP3 files than PlayOrder's 1001 slots plays a uniformly random choice of
        // 1001 of them, kept in the file list's order (selection sampling: each is taken
        // with the chance of the slots still free among the files still to come), so
        // that List2 and SongCount never pass them.
        Long i;
        Long Bound = -1;
        std::vector<Long> Mp3Entries; // the file list's indices of MP3 files
        if (Listed) STEP(Bound = File1.ListCount - 1);
        for (i = 0; i <= Bound; i += 1) {
            IF_MET(UCase(Right(File1.List(i), 3)) == u"MP3") STEP(Mp3Entries.push_back(i));
        }
        const Long Found = Long(Mp3Entries.size());
        Long Needed = std::min<Long>(Found, kMaxSongs);
        Long Left = Found;
        for (const Long Entry : Mp3Entries) {
            IF_MET(Found <= kMaxSongs || Rnd() * Double(Left) < Needed) {
                STEP(List2.List(SongCount) = File1.Path + u"\\" + File1.List(Entry));
                STEP(SongCount += 1);
                STEP(Needed -= 1);
            }
            STEP(Left -= 1);
        }
        STEP(LastIndex = SongCount - 1);

        // Rejection sampling: slot k takes the first value that no earlier slot holds.
        Integer k;
        Integer j;
        Single r = 0;
        bool Duplicate = false;
        Bound = -1;
        STEP(Bound = LastIndex);
        STEP(k = 0);
        while (k <= Bound) {
            STEP(r = Single(Int(Rnd() * Single(LastIndex + 1))));
            STEP(PlayOrder(k) = r);
            STEP(Duplicate = false);
            for (j = 0; j <= k - 1; j += 1) {
                IF_MET(PlayOrder(j) == r) STEP(Duplicate = true);
            }
            IF_MET(Duplicate) STEP(k -= 1);
            STEP(k += 1);
        }

        Bound = -1;
        STEP(Bound = List2.ListCount - 1);
        for (i = 0; i <= Bound; i += 1) STEP(List1.List(i) = List2.List(PlayOrder(i)));

        // No song found (no MP3 file, or a folder that cannot be listed): nothing starts
        // and the list is stopped.
        IF_MET(SongCount == 0) {
            ListStopped();
            return;
        }

        STEP(PlayPosition = Integer(0));
        STEP(CurrentRequest.FileName = List1.List(0));
        STEP(Me.Caption = FileNameOf(List1.List(0)));
        STEP(QuerySongTime(SongLengthMs, UnitMs));
        STEP(ProgressSteps = Divide(Divide(SongLengthMs, UnitMs), MP3_PROGRESS_FRAMES));
        STEP(ProgressX = 0);
        STEP(ShowCountdown(SongLengthMs));
        const bool Started = STEP(StartPlayback());
        STEP(IsPlaying = true);
        // No thread for the song: the list stops instead of showing a song that never plays.
        IF_MET(!Started) {
            ListStopped();
            return;
        }
    }
    else {
        STEP(MsgBox(u"Primero has de seleccionar la carpeta que contenga los archivos MP3"));
    }
    STEP(Command2.Enabled = true);
    STEP(Command3.Enabled = true);
    STEP(Command4.Enabled = true);
    STEP(Command7.Enabled = true);
    STEP(Command1.Enabled = false);
    STEP(Command5.Enabled = false);
}

void frmPlayer::MessageReceived(Long Message, Long wParam, Long lParam) {
    (void)lParam;
    if (Message == MP3_MSG_PROGRESS) {
        STEP(ShowCountdown(SongLengthMs - UnitMs * Double(wParam)));
        STEP(DrawProgress());
    } else if (Message == MP3_MSG_ENDED) {
        // The end of an older song, while the song started after it plays, starts nothing.
        if (!EndOfLastSong()) return;
        IF_MET(PlayPosition < SongCount - 1) {
            STEP(ProgressX = 0);
            STEP(ProgressBar.AutoRedraw = true);
            STEP(ProgressBar.Cls());
            STEP(ProgressBar.AutoRedraw = false);
            STEP(CurrentRequest.FileName = List1.List(Integer(PlayPosition + Integer(1))));
            STEP(Me.Caption = FileNameOf(List1.List(Integer(PlayPosition + Integer(1)))));
            STEP(QuerySongTime(SongLengthMs, UnitMs));
            STEP(ProgressSteps = Divide(Divide(SongLengthMs, UnitMs), MP3_PROGRESS_FRAMES));
            STEP(ProgressX = 0);
            STEP(ShowCountdown(SongLengthMs));
            const bool Started = STEP(StartPlayback());
            STEP(IsPlaying = true);
            STEP(PlayPosition = PlayPosition + Integer(1));
            IF_MET(PlayPosition == SongCount - 1) STEP(PlayPosition = Integer(-1));
            IF_MET(!Started) ListStopped();
        }
    }
    // MP3_MSG_STARTED and every other message: nothing.
}

void frmPlayer::Command2_Click() {
    StopPlayback();
    ProgressX = 0;
    ProgressBar.AutoRedraw = true;
    ProgressBar.Cls();
    ProgressBar.AutoRedraw = false;
}

void frmPlayer::Command3_Click() {
    StopPlayback();
    PlayPosition = PlayPosition - Integer(1);
}

void frmPlayer::Command4_Click() {
    StopPlayback();
    PlayPosition = PlayPosition - Integer(2);
    if (PlayPosition < Integer(0)) PlayPosition = Integer(-1);
}

void frmPlayer::Command7_Click() {
    StopPlayback();
    ListStopped();
}

// The stopped state: no end message starts anything; play and choose folder enabled.
void frmPlayer::ListStopped() {
    PlayPosition = SongCount;
    IsPlaying = false;
    Command1.Enabled = true;
    Command5.Enabled = true;
    Command2.Enabled = false;
    Command3.Enabled = false;
    Command4.Enabled = false;
    Command7.Enabled = false;
}

// The countdown shows whole seconds, cut toward zero as FormatTime cuts them: the
// progress messages within one second change nothing and format nothing.
void frmPlayer::ShowCountdown(Double Milliseconds) {
    const Double Seconds = Fix(Milliseconds / 1000);
    if (Seconds == CountdownSeconds) return;
    LCD.Caption = FormatTime(Milliseconds);
    CountdownSeconds = Seconds;
}

void frmPlayer::DrawProgress() {
    ProgressBar.AutoRedraw = true;
    const Integer StepWidth = Single(Divide(ProgressBar.ScaleWidth, ProgressSteps));
    const Single Height = ProgressBar.ScaleHeight;
    Integer i;
    for (i = 1; i <= StepWidth; i += 1) {
        const Integer x = ProgressX + i;
        ProgressBar.Line(x, 0, x, Height);
    }
    ProgressBar.AutoRedraw = false;
    // The loop counter ends one past the step width: one unit stays undrawn.
    ProgressX = ProgressX + i;
}

String frmPlayer::BrowseForFolder(HWND hwndOwner, const String& Title) {
    const std::string AnsiTitle = platform::ToAnsi(Title);
    BROWSEINFO bi{hwndOwner, nullptr, nullptr, AnsiTitle.c_str(), BIF_RETURNONLYFSDIRS,
                  nullptr,   0,       0};
    void* IDList = SHBrowseForFolderA(&bi);
    String Path = FillString(512, u" ");
    const BOOL Found = SHGetPathFromIDListA(IDList, Path);
    CoTaskMemFree(IDList);
    if (Found) return Left(Path, InStr(Path, Chr(0)) - 1);
    return u"";
}

void frmPlayer::OpenFolder(const String& Folder) {
    // Clicks, as the user's own: nothing happens on a disabled button.
    Command7.Value = true;
    Text1.Text = Folder;
    Command1.Enabled = true;
    Command1.Value = true;
}

void frmPlayer::Command5_Click() {
    const String Folder = BrowseForFolder(hWnd, u"Selecciona la carpeta");
    if (Folder != u"") {
        Text1.Text = Folder;
        Command1.Enabled = true;
    }
}
} // namespace zampoplay
