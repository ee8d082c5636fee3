// The player's window: a strip of nine buttons and the time display over a thin
// progress bar; the folder, the file list and the playlists sit below the visible
// client area as working storage.
#pragma once

#include "PrivateEye.h"

#include "runtime/Forms.h"
#include "runtime/Values.h"

#include <limits>
#include <memory>

namespace zampoplay {
using namespace runtime;

class frmPlayer : public Form,
                  public MessageReceiver,
                  public std::enable_shared_from_this<frmPlayer> {
public:
    frmPlayer();

    // Every message of the window, after its own procedure has handled it.
    void MessageReceived(Long Message, Long wParam, Long lParam) override;
    // A folder handed from outside (the command line, another start, the media remotes,
    // a drop on the window): stop, the folder as if chosen, then play.
    void OpenFolder(const String& Folder);

    // The controls, in creation order.
    CommandButton Command7{this,
                           {.Left = 3240,
                            .Top = 120,
                            .Width = 615,
                            .Height = 615,
                            .Style = vbButtonGraphical,
                            .BackColor = RGB(255, 255, 255),
                            .Picture = u":/images/stop.gif",
                            .TabIndex = 13}};
    CommandButton Command8{this,
                           {.Left = 5280,
                            .Top = 120,
                            .Width = 615,
                            .Height = 615,
                            .Style = vbButtonGraphical,
                            .Caption = u"@",
                            .Font = {u"Arial", 26.25f, true},
                            .BackColor = vbTitleBarText,
                            .TabIndex = 12}};
    CommandButton Command6{this,
                           {.Left = 6000,
                            .Top = 120,
                            .Width = 615,
                            .Height = 615,
                            .Style = vbButtonGraphical,
                            .BackColor = RGB(255, 128, 0),
                            .Picture = u":/images/minimise.gif",
                            .TabIndex = 11}};
    ListBox List2{this, {.Left = 120, .Top = 2880, .Width = 10335, .Height = 1530, .TabIndex = 10}};
    TextBox Text1{this, {.Left = 120, .Top = 1200, .Width = 4935, .Height = 315, .TabIndex = 9}};
    CommandButton Command5{this,
                           {.Left = 120,
                            .Top = 120,
                            .Width = 615,
                            .Height = 615,
                            .Style = vbButtonGraphical,
                            .BackColor = RGB(255, 255, 128),
                            .Picture = u":/images/folder.ico",
                            .TabIndex = 8}};
    CommandButton Command4{this,
                           {.Left = 2520,
                            .Top = 120,
                            .Width = 615,
                            .Height = 615,
                            .Style = vbButtonGraphical,
                            .BackColor = RGB(255, 192, 192),
                            .Picture = u":/images/previous.bmp",
                            .TabIndex = 7}};
    CommandButton Command3{this,
                           {.Left = 1920,
                            .Top = 120,
                            .Width = 615,
                            .Height = 615,
                            .Style = vbButtonGraphical,
                            .Caption = u"R",
                            .Font = {u"Arial", 18, true},
                            .BackColor = RGB(255, 128, 255),
                            .TabIndex = 6}};
    CommandButton Command2{this,
                           {.Left = 1320,
                            .Top = 120,
                            .Width = 615,
                            .Height = 615,
                            .Style = vbButtonGraphical,
                            .BackColor = RGB(128, 255, 255),
                            .Picture = u":/images/next.bmp",
                            .TabIndex = 5}};
    FileListBox File1{this,
                      {.Left = 6600, .Top = 4080, .Width = 255, .Height = 300, .TabIndex = 4}};
    CommandButton Command1{this,
                           {.Left = 720,
                            .Top = 120,
                            .Width = 615,
                            .Height = 615,
                            .Style = vbButtonGraphical,
                            .BackColor = RGB(128, 255, 128),
                            .Picture = u":/images/play.bmp",
                            .TabIndex = 3}};
    ListBox List1{this, {.Left = 120, .Top = 1560, .Width = 10335, .Height = 2160, .TabIndex = 2}};
    PictureBox ProgressBar{this,
                           {.Left = 120,
                            .Top = 840,
                            .Width = 6555,
                            .Height = 240,
                            .ForeColor = RGB(0, 0, 192),
                            .TabIndex = 0}};
    Label LCD{this,
              {.Left = 3960,
               .Top = 120,
               .Width = 1245,
               .Height = 540,
               .Caption = u"00:00",
               .Font = {u"Arial", 20.25f, true, true},
               .BackColor = vbWindowBackground,
               .ForeColor = vbWindowText,
               .Alignment = vbCenter,
               .TabIndex = 1}};

    // The player state, in this order.
    Variant PlayPosition;                   // index in List1 of the song playing; -1 while
                                            // the last one plays; SongCount after a stop
    Integer SongCount = 0;                  // MP3 files found in the folder
    FixedArray<Integer, 0, 1000> PlayOrder; // the shuffled indexes into List2
    Integer LastIndex = 0;                  // SongCount - 1
    Double SongLengthMs = 0;                // the song's length, from the decoder library
    Double UnitMs = 0;                      // ms per position unit
    Integer ProgressSteps = 0;              // progress messages expected for the song
    Integer ProgressX = 0;                  // how far the bar is drawn, in its scale
    Boolean IsPlaying = false;              // a playlist runs

private:
    // The whole seconds the countdown shows; NaN until it shows a song's.
    Double CountdownSeconds = std::numeric_limits<double>::quiet_NaN();

protected:
    void Form_Load() override;
    void Form_QueryUnload(Integer& Cancel, Integer UnloadMode) override;
    void Form_Unload(Integer& Cancel) override;

private:
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Command7_Click();
    void Command8_Click();
    void ListStopped();
    void ShowCountdown(Double Milliseconds);
    void DrawProgress();
    String BrowseForFolder(HWND hwndOwner, const String& Title);
};
} // namespace zampoplay
