// The global shortcut: a passive key grab on the root window, checked for a conflict.
#include "platform/GlobalShortcut.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <algorithm>
#include <cstdlib>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>

namespace {

QNativeInterface::QX11Application* x11()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        return nullptr;
    }
    auto* native = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return native && native->display() && native->connection() ? native : nullptr;
}

// The keysym of a Qt key: letters and digits, function keys, the keys with names below, and
// the other Latin-1 characters by their lower-case number.
KeySym keysymOf(Qt::Key key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
        return XK_a + (key - Qt::Key_A);
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35) {
        return XK_F1 + (key - Qt::Key_F1);
    }
    static const std::pair<Qt::Key, KeySym> named[] = {{Qt::Key_Space, XK_space},
                                                       {Qt::Key_Escape, XK_Escape},
                                                       {Qt::Key_Tab, XK_Tab},
                                                       {Qt::Key_Backspace, XK_BackSpace},
                                                       {Qt::Key_Return, XK_Return},
                                                       {Qt::Key_Enter, XK_KP_Enter},
                                                       {Qt::Key_Insert, XK_Insert},
                                                       {Qt::Key_Delete, XK_Delete},
                                                       {Qt::Key_Pause, XK_Pause},
                                                       {Qt::Key_Print, XK_Print},
                                                       {Qt::Key_Home, XK_Home},
                                                       {Qt::Key_End, XK_End},
                                                       {Qt::Key_Left, XK_Left},
                                                       {Qt::Key_Up, XK_Up},
                                                       {Qt::Key_Right, XK_Right},
                                                       {Qt::Key_Down, XK_Down},
                                                       {Qt::Key_PageUp, XK_Page_Up},
                                                       {Qt::Key_PageDown, XK_Page_Down},
                                                       {Qt::Key_ScrollLock, XK_Scroll_Lock}};
    for (const auto& [qtKey, keysym] : named) {
        if (key == qtKey) {
            return keysym;
        }
    }
    if (key >= 0x20 && key <= 0xff) {
        return QChar(key).toLower().unicode();
    }
    return NoSymbol;
}

unsigned int modifiersOf(Qt::KeyboardModifiers modifiers)
{
    unsigned int mask = 0;
    mask |= modifiers & Qt::ShiftModifier ? ShiftMask : 0;
    mask |= modifiers & Qt::ControlModifier ? ControlMask : 0;
    mask |= modifiers & Qt::AltModifier ? Mod1Mask : 0;
    mask |= modifiers & Qt::MetaModifier ? Mod4Mask : 0;
    return mask;
}

} // namespace

GlobalShortcut::GlobalShortcut(QObject* parent) : QObject(parent)
{
    QCoreApplication::instance()->installNativeEventFilter(this);
}

GlobalShortcut::~GlobalShortcut()
{
    release();
    QCoreApplication::instance()->removeNativeEventFilter(this);
}

void GlobalShortcut::release()
{
    if (auto* native = x11(); native && m_keycode) {
        xcb_connection_t* connection = native->connection();
        const xcb_window_t root = DefaultRootWindow(native->display());
        for (const unsigned int variant : m_variants) {
            xcb_ungrab_key(connection, m_keycode, root, m_modifiers | variant);
        }
        xcb_flush(connection);
    }
    m_keycode = 0;
    m_modifiers = 0;
    m_variants.clear();
}

GlobalShortcut::Result GlobalShortcut::SetShortcut(const QKeySequence& keys)
{
    release();
    if (keys.isEmpty()) {
        return Result::Off;
    }
    auto* native = x11();
    const QKeyCombination combination = keys[0];
    const KeySym keysym = keysymOf(combination.key());
    if (!native || keysym == NoSymbol) {
        return Result::Unavailable;
    }
    Display* display = native->display();
    const KeyCode keycode = XKeysymToKeycode(display, keysym);
    if (!keycode) {
        return Result::Unavailable;
    }
    const unsigned int modifiers = modifiersOf(combination.keyboardModifiers());
    const unsigned int numLock = XkbKeysymToModifiers(display, XK_Num_Lock);
    const std::vector<unsigned int> variants{0, LockMask, numLock, LockMask | numLock};
    xcb_connection_t* connection = native->connection();
    const xcb_window_t root = DefaultRootWindow(display);
    bool conflict = false;
    std::vector<unsigned int> grabbed;
    for (const unsigned int variant : variants) {
        if (std::find(grabbed.begin(), grabbed.end(), variant) != grabbed.end()) {
            continue;
        }
        const xcb_void_cookie_t cookie =
            xcb_grab_key_checked(connection, 1, root, uint16_t(modifiers | variant), keycode,
                                 XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        if (xcb_generic_error_t* error = xcb_request_check(connection, cookie)) {
            conflict = true;
            std::free(error);
        } else {
            grabbed.push_back(variant);
        }
    }
    m_keycode = keycode;
    m_modifiers = modifiers;
    m_variants = grabbed;
    if (conflict) {
        release();
        return Result::Conflict;
    }
    return Result::Set;
}

bool GlobalShortcut::nativeEventFilter(const QByteArray& eventType, void* message,
                                       qintptr* /*result*/)
{
    if (!m_keycode || eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_KEY_PRESS) {
        return false;
    }
    const auto* press = static_cast<const xcb_key_press_event_t*>(message);
    auto* native = x11();
    if (!native || press->detail != m_keycode ||
        press->event != DefaultRootWindow(native->display())) {
        return false;
    }
    const unsigned int held = press->state & (ShiftMask | ControlMask | Mod1Mask | Mod4Mask);
    if (held != m_modifiers) {
        return false;
    }
    Q_EMIT Activated();
    return true;
}
