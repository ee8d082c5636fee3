// Forms and controls. A form is a class derived from Form with its controls as
// members, each declared with its design (positions and sizes in twips):
//
//   class Form1 : public Form {
//   public:
//       Form1() : Form({.Caption = u"Título", .ClientWidth = 5895, .ClientHeight = 4725}) {
//           Command1.Click = [this] { Command1_Click(); };
//       }
//       CommandButton Command1{this, {.Left = 3240, .Top = 2160, .Width = 2415,
//                                     .Height = 1455, .Style = vbButtonGraphical,
//                                     .Caption = u"Copiar", .BackColor = RGB(255, 224, 192),
//                                     .TabIndex = 2}};
//   };
//
// Everything here runs on the window thread. Twips become pixels at 15 a pixel at
// 96 dpi (Qt scales pixels on other screens; on Windows they follow the screen's dpi).
#pragma once

#include "platform/Types.h"
#include "runtime/Property.h"
#include "runtime/Values.h"

#include <functional>
#include <memory>
#include <vector>

// Windows' own RGB is a macro; the runtime's is a function of the same meaning.
#undef RGB

namespace runtime {
// Colours: RGB values, or system colours (the window system's palette).
inline constexpr Long RGB(int red, int green, int blue) {
    return (red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16);
}
inline constexpr Long SystemColor(int index) {
    return static_cast<Long>(0x80000000u | unsigned(index));
}
inline constexpr Long vbActiveTitleBar = SystemColor(2);
inline constexpr Long vbWindowBackground = SystemColor(5);
inline constexpr Long vbWindowText = SystemColor(8);
inline constexpr Long vbTitleBarText = SystemColor(9); // text of the active title bar
inline constexpr Long vbHighlight = SystemColor(13);
inline constexpr Long vbHighlightText = SystemColor(14);
inline constexpr Long vbButtonFace = SystemColor(15);
inline constexpr Long vbGrayText = SystemColor(17);
inline constexpr Long vbButtonText = SystemColor(18);
inline constexpr Long kDefaultColor = -1; // the control's own default

// Design values.
inline constexpr Integer vbButtonStandard = 0, vbButtonGraphical = 1;         // CommandButton Style
inline constexpr Integer vbTransparent = 0, vbOpaque = 1;                     // Label BackStyle
inline constexpr Integer vbLeftJustify = 0, vbRightJustify = 1, vbCenter = 2; // Alignment
inline constexpr Integer vbBSNone = 0, vbFixedSingle = 1, vbSizable = 2;      // BorderStyle
inline constexpr Integer vbNormal = 0, vbMinimized = 1, vbMaximized = 2;      // WindowState
inline constexpr Integer vbFormControlMenu = 0, vbFormCode = 1;               // UnloadMode
inline constexpr Integer vbRoleDefault = 0, vbRoleProgressBar = 48; // PictureBox AccessibleRole

struct FontSpec {
    String Name = {}; // empty: the form's font
    Single Size = 0;  // points; 0: the form's size
    bool Bold = false;
    bool Italic = false;
};

// The design of a control. Fields in this order (designated initializers keep it);
// each kind uses those it has.
struct Look {
    Single Left = 0, Top = 0, Width = 0, Height = 0;
    Integer Style = vbButtonStandard; // CommandButton: graphical shows BackColor, Picture
    String Caption = {};              // CommandButton, Label; TextBox: its text
    FontSpec Font = {};
    Long BackColor = kDefaultColor;
    Integer BackStyle = vbOpaque; // Label: transparent shows the form behind
    Long ForeColor = kDefaultColor;
    Integer Alignment = vbLeftJustify; // Label
    Integer BorderStyle = -1;          // -1: the kind's default (PictureBox fixed single)
    String Picture = {};               // resource path (":/...") of a GIF, BMP or ICO
    Integer TabIndex = -1;             // -1: after the numbered ones, in creation order
};

struct FormLook {
    String Caption = {};
    Integer BorderStyle = vbSizable; // or vbFixedSingle: not resizable
    bool MinButton = true;
    bool MaxButton = true;
    Single ClientWidth = 4800, ClientHeight = 3600; // twips
    Long BackColor = vbButtonFace;
    FontSpec Font = {u"Arial", 8.25f};
    String Icon = {}; // resource path (":/...") of an ICO
};

class Form;
namespace detail {
struct Native;
struct FormNative;
} // namespace detail

// What all controls have. Controls live as long as their form and never move.
class Control {
public:
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    Property<Single> Left, Top, Width, Height; // twips
    Property<bool> Enabled, Visible;
    Property<Integer> TabIndex;
    // The tip shown while the pointer rests on the control, and the name screen readers
    // give it (until a name is set: the tip, else a button's caption). Controls outside the form's
    // client area are left out of what screen readers see.
    Property<String> ToolTipText, AccessibleName;

    detail::Native& Native() const { return *native_; }

protected:
    Control(Form* form, const Look& look, std::unique_ptr<detail::Native> native);

    Form& form_;
    std::unique_ptr<detail::Native> native_;
    bool named_ = false; // AccessibleName was set

private:
    // A position or size in twips, kept, the control placed again on each change.
    Property<Single> Placement(Single& twips);
    void Place();
    Single left_, top_, width_, height_;
    Integer tabIndex_;
};

class CommandButton : public Control {
public:
    CommandButton(Form* form, const Look& look);
    Property<String> Caption;
    // Assigning true presses the button (as a click does: only when enabled).
    Property<bool> Value;
    // The Click event, raised by a click through WM_COMMAND.
    std::function<void()> Click;
};

class Label : public Control {
public:
    Label(Form* form, const Look& look);
    Property<String> Caption;
    Property<Long> BackColor, ForeColor;

private:
    Long backColor_ = kDefaultColor, foreColor_ = kDefaultColor;
};

class TextBox : public Control {
public:
    TextBox(Form* form, const Look& look);
    Property<String> Text;
};

class ListBox : public Control {
public:
    // One entry; assigning entry ListCount appends. A bad index raises error 381.
    class Item {
    public:
        Item& operator=(const String& text);
        Item& operator=(const Item& other) { return *this = String(other); }
        operator String() const;

        friend String operator+(const Item& a, const String& b) { return String(a) + b; }
        friend String operator+(const String& a, const Item& b) { return a + String(b); }
        friend String operator+(const Item& a, const char16_t* b) { return String(a) + b; }
        friend String operator+(const char16_t* a, const Item& b) { return a + String(b); }
        friend bool operator==(const Item& a, const String& b) { return String(a) == b; }
        friend bool operator==(const Item& a, const char16_t* b) { return String(a) == b; }

    private:
        friend class ListBox;
        Item(ListBox& box, Integer index) : box_(box), index_(index) {}
        ListBox& box_;
        Integer index_;
    };

    ListBox(Form* form, const Look& look);
    void AddItem(const String& item);
    void Clear();
    Item List(Integer index) { return Item(*this, index); }
    String List(Integer index) const;
    ReadOnly<Integer> ListCount;
};

// The ordinary files of one folder (hidden files and folders left out), sorted
// without regard to case. At start it lists the current directory. A folder may hold
// a whole collection, past a 16-bit count: its entries are counted and indexed in Long.
class FileListBox : public Control {
public:
    FileListBox(Form* form, const Look& look);
    // The folder, platform form. Setting it lists that folder, or raises error 76
    // (no such folder) and keeps the old one.
    Property<String> Path;
    String List(Long index) const; // a bad index raises error 381
    ReadOnly<Long> ListCount;

private:
    void Fill(const std::string& native);
    std::string folder_; // native
};

// A drawing surface in twips inside its border; drawing persists (AutoRedraw).
class PictureBox : public Control {
public:
    PictureBox(Form* form, const Look& look);
    Property<bool> AutoRedraw;
    Property<Long> ForeColor, BackColor;
    ReadOnly<Single> ScaleWidth, ScaleHeight;
    // vbRoleProgressBar: screen readers take the box for a progress bar whose value is
    // how far from the left it is drawn.
    Property<Integer> AccessibleRole;
    void Cls(); // erases to BackColor
    void Line(Single x1, Single y1, Single x2, Single y2, Long color = kDefaultColor);

private:
    bool autoRedraw_ = false;
    Long foreColor_ = kDefaultColor, backColor_ = kDefaultColor;
};

class Form {
public:
    explicit Form(const FormLook& look);
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    Form& Me = *this;

    ReadOnly<HWND> hWnd;           // loads the form when it is not loaded
    Property<String> Caption;      // through WM_SETTEXT / WM_GETTEXT once loaded
    Property<Integer> WindowState; // vbNormal, vbMinimized, vbMaximized

    // Loads the form (window made, Form_Load run) unless it is loaded.
    void Load();
    // Loads it and shows the window.
    void Show();
    // As closing from code: QueryUnload(vbFormCode), Unload, then the window goes.
    void Unload();
    bool IsLoaded() const { return hwnd_ != nullptr; }

    detail::FormNative& Native() const { return *native_; }

protected:
    virtual void Form_Load() {}
    virtual void Form_QueryUnload(Integer& Cancel, Integer UnloadMode) {
        (void)Cancel;
        (void)UnloadMode;
    }
    virtual void Form_Unload(Integer& Cancel) { (void)Cancel; }

private:
    friend class Control;
    static LRESULT WINAPI WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // Caption: the window's text through WM_GETTEXT and WM_SETTEXT while loaded, else what
    // the system's side keeps.
    Property<String> WindowCaption(std::function<String()> unloaded,
                                   std::function<void(const String&)> setUnloaded);
    void Close(Integer mode);

    std::unique_ptr<detail::FormNative> native_;
    std::vector<Control*> controls_;
    Control* firstFocus_ = nullptr;
    HWND hwnd_ = nullptr;
};

// The WM_COMMAND identifier of a form's first control; the others follow in creation
// order. Dialog navigation sends IDOK (1) and IDCANCEL (2) for Enter and Esc, which
// must click no control.
inline constexpr int kFirstControlId = 100;

// The number of forms loaded now.
int LoadedForms();

// The programs' entry: makes the application, creates the start-up form, runs its
// Form_Load before the window is first shown, runs the event loop and returns when the
// last form has unloaded. An error escaping start-up ends the program with the report.
// The start-up form is shared: a program may hold further counted references to it.
int Main(int& argc, char** argv, const String& title,
         const std::function<std::shared_ptr<Form>()>& startupForm);

template <class StartupForm> int RunProgram(int& argc, char** argv, const String& title = {}) {
    return Main(argc, argv, title, [] { return std::make_shared<StartupForm>(); });
}
} // namespace runtime
