// The Windows side of forms and controls: native window classes and GDI. Only the
// runtime includes this.
#pragma once

#include "runtime/Forms.h"

#include <ocidl.h>
#include <olectl.h>
#include <shellapi.h>

#include <string>

namespace runtime::detail {
// Twips at the screen's resolution (15 a pixel at 96 dpi).
double TwipsPerPixel();
int Pixels(Single twips);
// An RGB value or a system colour; kDefaultColor gives fallback's colour.
COLORREF ToColorRef(Long color, Long fallback);
std::wstring Wide(const String& text);
String FromWide(const std::wstring& text);
// A control's font: what spec names, the rest from the form's font.
HFONT MakeFont(const FontSpec& spec, const FontSpec& form);
// A GIF, BMP or ICO picture: ":/..." names one of the program's RCDATA resources,
// anything else a file. Error 53 when missing, 481 when unreadable.
IPicture* LoadPicture(const String& path);
// A picture's size in pixels.
SIZE PictureSize(IPicture* picture);

enum class Kind { Button, Label, TextBox, ListBox, FileList, Picture };

// A control's window and what drawing it needs. The design is kept: a form loaded
// again after an unload makes its windows again from it.
struct Native {
    Native(Kind k, const Look& l) : kind(k), look(l) {}
    ~Native();
    Native(const Native&) = delete;
    Native& operator=(const Native&) = delete;

    Kind kind;
    Look look;
    HWND hwnd = nullptr;
    int id = 0;           // the WM_COMMAND identifier: creation order from kFirstControlId
    HFONT font = nullptr; // its own font, when the design names one
    Long backColor = kDefaultColor, foreColor = kDefaultColor; // as given, system colours too
    COLORREF back = 0, fore = 0;                               // as read now
    HBRUSH brush = nullptr;                                    // back's
    bool graphical = false, transparent = false;
    String caption;   // a button's caption (its window text is its name)
    String tip, name; // tooltip and accessible name
    IPicture* picture = nullptr;
    int role = 0; // a picture box's AccessibleRole
    // A picture box's persistent image.
    HDC memory = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previousBitmap = nullptr;
    SIZE size = {0, 0};
    // What is drawn while AutoRedraw is on and not yet on the screen: the box shows it
    // once, when AutoRedraw goes off or the thread waits for messages.
    RECT undrawn = {0, 0, 0, 0};
    // The latest line, while nothing else has drawn since: a bar drawn a twip at a time
    // lands on the same pixels many times over.
    POINT lastFrom = {0, 0}, lastTo = {0, 0};
    COLORREF lastColor = CLR_INVALID;

    void SetBack(Long colour);
    void SetFore(Long colour);
    // System colours read again (they changed), and the control repainted.
    void ReadSystemColours();
};

struct FormNative {
    explicit FormNative(const FormLook& l) : look(l) {}
    ~FormNative();
    FormLook look;
    HWND hwnd = nullptr;
    HFONT font = nullptr;
    HBRUSH brush = nullptr;
    HWND tips = nullptr; // the form's tooltip window, made with the first tip
    IPicture* icon = nullptr;
};

// The window property that holds a form's Form, from its window's making.
inline constexpr char kFormProperty[] = "ZampoloForm";
// A path made absolute, without a trailing '\' but for a drive's root ("C:\"); empty
// when it cannot be.
std::wstring FullFolder(const std::wstring& path);
// Makes a control's window on its form's window from its design.
void MakeControlWindow(Native& native, HWND parent);
// Paints an owner-drawn (graphical) command button.
void DrawButton(const DRAWITEMSTRUCT& item);
// The label colours of WM_CTLCOLORSTATIC; nullptr leaves the message to the default.
HBRUSH LabelColours(HWND control, HDC dc);
// Folders handed to the program (win32/HandedFolders.cpp): another start's WM_COPYDATA
// (true when taken), a drop from the shell, the receiving window going.
bool FolderCopied(HWND window, const COPYDATASTRUCT& data);
void FilesDropped(HWND window, HDROP drop);
void FolderWindowGone(HWND window);
// A media key (WM_APPCOMMAND's command) for the program's media remote: true when taken.
bool MediaAppCommand(int command);
// Shows what picture boxes have drawn and not yet shown: the thread is about to wait
// for messages.
void ShowDrawnPictures();
// The window thread, where forms live (0 before the first form).
extern DWORD windowThread;
// A message box is up: media commands wait.
extern int modalBoxes;
} // namespace runtime::detail
