// Windows, window procedures and message delivery over Qt.
//
// Qt events of an attached top-level widget become these messages, sent to the
// window's current procedure on the GUI thread:
//
//   Qt event                         message          wParam / lParam
//   ------------------------------   --------------   ---------------------------------
//   (attach)                         WM_CREATE        0 / 0
//   WindowActivate, WindowDeactivate WM_ACTIVATE      WA_ACTIVE or WA_INACTIVE / 0
//   FocusIn, FocusOut                WM_SETFOCUS,     0 / 0
//                                    WM_KILLFOCUS
//   Move                             WM_MOVE          0 / MAKELPARAM(x, y)
//   Resize                           WM_SIZE          SIZE_RESTORED / MAKELPARAM(w, h)
//   WindowStateChange (minimised,    WM_SIZE          SIZE_MINIMIZED, SIZE_MAXIMIZED or
//     maximised, restored)                            SIZE_RESTORED / MAKELPARAM(w, h)
//   Show, Hide                       WM_SHOWWINDOW    TRUE or FALSE / 0
//   Paint                            WM_PAINT         0 / 0 (Qt then paints as usual)
//   MouseMove                        WM_MOUSEMOVE     0 / MAKELPARAM(x, y)
//   MouseButtonPress, -Release (left) WM_LBUTTONDOWN, 0 / MAKELPARAM(x, y)
//                                    WM_LBUTTONUP
//   Close (the close box)            WM_CLOSE         0 / 0 (Qt's close is refused; the
//                                                     procedure decides)
//   clicked() of an attached button  WM_COMMAND       MAKEWPARAM(id, BN_CLICKED) / 0
//
// Locks: one mutex guards the handle table; it is never held while a procedure runs.
#include "platform/CodePage.h"
#include "platform/Messages.h"
#include "platform/QtBridge.h"
#include "platform/System.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QPointer>
#include <QResizeEvent>
#include <QThread>
#include <QWidget>

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace {
struct WindowRecord {
    QPointer<QWidget> widget;
    WNDPROC proc = nullptr;
    LONG_PTR userData = 0;
    std::string text; // the window text, 8-bit
    QObject* filter = nullptr;
};

class Dispatcher;

struct WindowTable {
    std::mutex mutex;
    std::unordered_map<std::uintptr_t, WindowRecord> windows;
    std::unordered_map<const QWidget*, std::uintptr_t> byWidget;
    std::uintptr_t next = 0x10000;    // handles are never reused
    Dispatcher* dispatcher = nullptr; // null once the event loop is gone
    std::function<void(std::exception_ptr)> uncaught;
    bool firstShow = true;
};
WindowTable& table() {
    static auto* t = new WindowTable; // never destroyed: threads may post at exit
    return *t;
}

std::uintptr_t Key(HWND h) {
    return reinterpret_cast<std::uintptr_t>(h);
}

WNDPROC ProcOf(HWND hwnd) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.windows.find(Key(hwnd));
    return it == t.windows.end() ? nullptr : it->second.proc;
}

QWidget* Widget(HWND hwnd) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.windows.find(Key(hwnd));
    return it == t.windows.end() ? nullptr : it->second.widget.data();
}

void ReportUncaught(std::exception_ptr e) {
    std::function<void(std::exception_ptr)> handler;
    {
        auto& t = table();
        std::lock_guard lock(t.mutex);
        handler = t.uncaught;
    }
    if (handler) {
        handler(e);
        return;
    }
    try {
        std::rethrow_exception(e);
    } catch (const std::exception& ex) {
        std::fprintf(stderr, "zampolo: uncaught exception: %s\n", ex.what());
    } catch (...) {
        std::fprintf(stderr, "zampolo: uncaught exception\n");
    }
    std::_Exit(3);
}

// Runs a message from Qt's event loop: no exception may cross into Qt.
LRESULT Deliver(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        return SendMessageA(hwnd, msg, wParam, lParam);
    } catch (...) {
        ReportUncaught(std::current_exception());
        return 0;
    }
}

const QEvent::Type kPostedMessage = static_cast<QEvent::Type>(QEvent::registerEventType());

struct PostedMessage : QEvent {
    PostedMessage(HWND h, UINT m, WPARAM w, LPARAM l, QEvent::Type type = kPostedMessage)
        : QEvent(type), hwnd(h), msg(m), wParam(w), lParam(l) {}
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

// A message sent from another thread; the sender waits for the result.
struct SentReply {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    LRESULT result = 0;
};
const QEvent::Type kSentMessage = static_cast<QEvent::Type>(QEvent::registerEventType());
struct SentMessage : PostedMessage {
    SentMessage(HWND h, UINT m, WPARAM w, LPARAM l, std::shared_ptr<SentReply> r)
        : PostedMessage(h, m, w, l, kSentMessage), reply(std::move(r)) {}
    // Dropped undelivered (the event loop went away): the sender still gets its 0.
    ~SentMessage() override {
        std::lock_guard lock(reply->mutex);
        reply->finished = true;
        reply->done.notify_all();
    }
    std::shared_ptr<SentReply> reply;
};

// Lives on the GUI thread and receives posted messages in posting order.
class Dispatcher : public QObject {
public:
    bool event(QEvent* e) override {
        // The poster built the event under the table's lock; taking it here makes that
        // hand-over visible to the thread sanitizer, which cannot see Qt's own queue lock.
        { std::lock_guard lock(table().mutex); }
        if (e->type() == kPostedMessage) {
            auto* m = static_cast<PostedMessage*>(e);
            if (ProcOf(m->hwnd)) Deliver(m->hwnd, m->msg, m->wParam, m->lParam);
            return true;
        }
        if (e->type() == kSentMessage) {
            auto* m = static_cast<SentMessage*>(e);
            const LRESULT result =
                ProcOf(m->hwnd) ? Deliver(m->hwnd, m->msg, m->wParam, m->lParam) : 0;
            std::lock_guard lock(m->reply->mutex);
            m->reply->result = result;
            return true; // the sender wakes when the event is deleted
        }
        return QObject::event(e);
    }
};

void StopAccepting() {
    auto& t = table();
    Dispatcher* d = nullptr;
    {
        std::lock_guard lock(t.mutex);
        d = t.dispatcher;
        t.dispatcher = nullptr;
    }
    delete d;
}

void EnsureDispatcher() {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    if (t.dispatcher || !QCoreApplication::instance()) return;
    t.dispatcher = new Dispatcher;
    qAddPostRoutine(StopAccepting);
}

class EventFilter : public QObject {
public:
    explicit EventFilter(HWND hwnd) : hwnd_(hwnd) {}
    bool eventFilter(QObject* watched, QEvent* e) override {
        auto* w = qobject_cast<QWidget*>(watched);
        if (!w) return false;
        switch (e->type()) {
        case QEvent::Close:
            if (closing_) return false;
            e->ignore();
            Deliver(hwnd_, WM_CLOSE, 0, 0);
            return true;
        case QEvent::WindowActivate:
            Deliver(hwnd_, WM_ACTIVATE, WA_ACTIVE, 0);
            break;
        case QEvent::WindowDeactivate:
            Deliver(hwnd_, WM_ACTIVATE, WA_INACTIVE, 0);
            break;
        case QEvent::FocusIn:
            Deliver(hwnd_, WM_SETFOCUS, 0, 0);
            break;
        case QEvent::FocusOut:
            Deliver(hwnd_, WM_KILLFOCUS, 0, 0);
            break;
        case QEvent::Move: {
            auto* m = static_cast<QMoveEvent*>(e);
            Deliver(hwnd_, WM_MOVE, 0, MAKELPARAM(m->pos().x(), m->pos().y()));
            break;
        }
        case QEvent::Resize: {
            auto* r = static_cast<QResizeEvent*>(e);
            Deliver(hwnd_, WM_SIZE, SIZE_RESTORED,
                    MAKELPARAM(r->size().width(), r->size().height()));
            break;
        }
        case QEvent::WindowStateChange: {
            const WPARAM kind = w->isMinimized()   ? SIZE_MINIMIZED
                                : w->isMaximized() ? SIZE_MAXIMIZED
                                                   : SIZE_RESTORED;
            Deliver(hwnd_, WM_SIZE, kind, MAKELPARAM(w->width(), w->height()));
            break;
        }
        case QEvent::Show:
            Deliver(hwnd_, WM_SHOWWINDOW, TRUE, 0);
            break;
        case QEvent::Hide:
            Deliver(hwnd_, WM_SHOWWINDOW, FALSE, 0);
            break;
        case QEvent::Paint:
            Deliver(hwnd_, WM_PAINT, 0, 0);
            break;
        case QEvent::MouseMove: {
            auto* m = static_cast<QMouseEvent*>(e);
            const QPoint p = m->position().toPoint();
            Deliver(hwnd_, WM_MOUSEMOVE, 0, MAKELPARAM(p.x(), p.y()));
            break;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease: {
            auto* m = static_cast<QMouseEvent*>(e);
            if (m->button() != Qt::LeftButton) break;
            const QPoint p = m->position().toPoint();
            Deliver(hwnd_, e->type() == QEvent::MouseButtonPress ? WM_LBUTTONDOWN : WM_LBUTTONUP, 0,
                    MAKELPARAM(p.x(), p.y()));
            break;
        }
        default:
            break;
        }
        return false;
    }
    void SetClosing() { closing_ = true; }

private:
    HWND hwnd_;
    bool closing_ = false;
};

void Forget(std::uintptr_t key) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.windows.find(key);
    if (it == t.windows.end()) return;
    t.byWidget.erase(it->second.widget.data());
    t.windows.erase(it);
}
} // namespace

namespace platform {
HWND AttachWindow(QWidget* widget, WNDPROC proc) {
    if (!widget || !proc) return nullptr;
    EnsureDispatcher();
    auto& t = table();
    std::uintptr_t key;
    {
        std::lock_guard lock(t.mutex);
        if (auto it = t.byWidget.find(widget); it != t.byWidget.end())
            return reinterpret_cast<HWND>(it->second);
        key = t.next;
        t.next += 4;
        WindowRecord rec;
        rec.widget = widget;
        rec.proc = proc;
        rec.text = ToAnsi(widget->windowTitle().toStdU16String());
        t.windows.emplace(key, std::move(rec));
        t.byWidget.emplace(widget, key);
    }
    HWND hwnd = reinterpret_cast<HWND>(key);
    auto* filter = new EventFilter(hwnd);
    filter->setParent(widget);
    widget->setMouseTracking(true);
    widget->installEventFilter(filter);
    {
        std::lock_guard lock(t.mutex);
        t.windows[key].filter = filter;
    }
    // A widget deleted without DestroyWindow retires its handle.
    QObject::connect(widget, &QObject::destroyed, [key] { Forget(key); });
    SendMessageA(hwnd, WM_CREATE, 0, 0);
    return hwnd;
}

QWidget* WidgetOf(HWND hwnd) {
    return Widget(hwnd);
}

HWND WindowOf(const QWidget* widget) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.byWidget.find(widget);
    return it == t.byWidget.end() ? nullptr : reinterpret_cast<HWND>(it->second);
}

void AttachCommand(HWND hwnd, QAbstractButton* button, int id) {
    if (!button) return;
    QObject::connect(button, &QAbstractButton::clicked, button, [hwnd, id] {
        if (ProcOf(hwnd))
            Deliver(hwnd, WM_COMMAND, MAKEWPARAM(static_cast<unsigned>(id), BN_CLICKED), 0);
    });
}

void SetUncaughtExceptionHandler(std::function<void(std::exception_ptr)> handler) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    t.uncaught = std::move(handler);
}

bool IsWindowThread() {
    auto* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}
} // namespace platform

extern "C" {
LONG_PTR SetWindowLongA(HWND hwnd, int index, LONG_PTR value) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.windows.find(Key(hwnd));
    if (it == t.windows.end()) return 0;
    if (index == GWL_WNDPROC) {
        if (value == 0) return 0; // a window never loses its procedure
        auto previous = reinterpret_cast<LONG_PTR>(it->second.proc);
        it->second.proc = reinterpret_cast<WNDPROC>(value);
        return previous;
    }
    if (index == GWL_USERDATA) {
        LONG_PTR previous = it->second.userData;
        it->second.userData = value;
        return previous;
    }
    return 0;
}

LONG_PTR GetWindowLongA(HWND hwnd, int index) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.windows.find(Key(hwnd));
    if (it == t.windows.end()) return 0;
    if (index == GWL_WNDPROC) return reinterpret_cast<LONG_PTR>(it->second.proc);
    if (index == GWL_USERDATA) return it->second.userData;
    return 0;
}

LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto& t = table();
    switch (msg) {
    case WM_SETTEXT: {
        const char* text = reinterpret_cast<const char*>(lParam);
        QPointer<QWidget> w;
        {
            std::lock_guard lock(t.mutex);
            auto it = t.windows.find(Key(hwnd));
            if (it == t.windows.end()) return FALSE;
            it->second.text = text ? text : "";
            w = it->second.widget;
        }
        if (w) w->setWindowTitle(QString::fromStdU16String(platform::FromAnsi(text ? text : "")));
        return TRUE;
    }
    case WM_GETTEXT: {
        char* buffer = reinterpret_cast<char*>(lParam);
        if (!buffer || wParam == 0) return 0;
        std::lock_guard lock(t.mutex);
        auto it = t.windows.find(Key(hwnd));
        if (it == t.windows.end()) {
            buffer[0] = '\0';
            return 0;
        }
        const std::string& text = it->second.text;
        const std::size_t n = std::min<std::size_t>(text.size(), wParam - 1);
        std::memcpy(buffer, text.data(), n);
        buffer[n] = '\0';
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: {
        std::lock_guard lock(t.mutex);
        auto it = t.windows.find(Key(hwnd));
        return it == t.windows.end() ? 0 : static_cast<LRESULT>(it->second.text.size());
    }
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_MINIMIZE) ShowWindow(hwnd, SW_MINIMIZE);
        if ((wParam & 0xFFF0) == SC_RESTORE) ShowWindow(hwnd, SW_RESTORE);
        if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(hwnd, WM_CLOSE, 0, 0);
        return 0;
    default:
        return 0;
    }
}

LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc = ProcOf(hwnd);
    if (!proc) return 0;
    if (platform::IsWindowThread()) return proc(hwnd, msg, wParam, lParam);
    // From another thread: run it on the window's thread and wait for the answer.
    auto reply = std::make_shared<SentReply>();
    {
        auto& t = table();
        std::lock_guard lock(t.mutex);
        if (!t.dispatcher) return 0;
        QCoreApplication::postEvent(t.dispatcher,
                                    new SentMessage(hwnd, msg, wParam, lParam, reply));
    }
    std::unique_lock lock(reply->mutex);
    reply->done.wait(lock, [&] { return reply->finished; });
    return reply->result;
}

BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto& t = table();
    // Held across postEvent so that the dispatcher cannot go away meanwhile.
    std::lock_guard lock(t.mutex);
    if (!t.dispatcher || !t.windows.count(Key(hwnd))) return FALSE;
    QCoreApplication::postEvent(t.dispatcher, new PostedMessage(hwnd, msg, wParam, lParam));
    return TRUE;
}

BOOL DestroyWindow(HWND hwnd) {
    if (!ProcOf(hwnd)) return FALSE;
    SendMessageA(hwnd, WM_DESTROY, 0, 0);
    QPointer<QWidget> w;
    QObject* filter = nullptr;
    {
        auto& t = table();
        std::lock_guard lock(t.mutex);
        auto it = t.windows.find(Key(hwnd));
        if (it == t.windows.end()) return TRUE;
        w = it->second.widget;
        filter = it->second.filter;
        t.byWidget.erase(w.data());
        t.windows.erase(it);
    }
    if (w) {
        if (auto* f = dynamic_cast<EventFilter*>(filter)) {
            f->SetClosing();
            w->removeEventFilter(f);
        }
        w->hide();
    }
    return TRUE;
}

BOOL IsWindow(HWND hwnd) {
    return ProcOf(hwnd) ? TRUE : FALSE;
}

BOOL ShowWindow(HWND hwnd, int cmdShow) {
    QWidget* w = Widget(hwnd);
    if (!w) return FALSE;
    const BOOL wasVisible = w->isVisible() ? TRUE : FALSE;
    if (cmdShow == SW_SHOWDEFAULT) {
        auto& t = table();
        bool first;
        {
            std::lock_guard lock(t.mutex);
            first = t.firstShow;
            t.firstShow = false;
        }
        cmdShow = first ? platform::StartupShowState() : SW_SHOWNORMAL;
        if (cmdShow == SW_SHOWDEFAULT) cmdShow = SW_SHOWNORMAL;
    }
    switch (cmdShow) {
    case SW_HIDE:
        w->hide();
        break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
        w->showMinimized();
        break;
    case SW_RESTORE:
    case SW_SHOWNORMAL:
        w->showNormal();
        break;
    default:
        w->show();
        break;
    }
    return wasVisible;
}

BOOL IsIconic(HWND hwnd) {
    QWidget* w = Widget(hwnd);
    return w && w->isMinimized() ? TRUE : FALSE;
}

BOOL SetWindowTextA(HWND hwnd, const char* text) {
    if (!IsWindow(hwnd)) return FALSE;
    return SendMessageA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

int GetWindowTextA(HWND hwnd, char* buffer, int bufferSize) {
    if (!buffer || bufferSize <= 0) return 0;
    buffer[0] = '\0';
    return static_cast<int>(SendMessageA(hwnd, WM_GETTEXT, static_cast<WPARAM>(bufferSize),
                                         reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthA(HWND hwnd) {
    return static_cast<int>(SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0));
}
}
