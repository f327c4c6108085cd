// Key codes and shift states as the classic Windows key events give them.
#include "platform/VbKey.h"

#include <QKeyEvent>

namespace VbKey {

namespace {

// The digit of a key of the main keyboard's top row, by the key's place rather than by what it
// types: Shift, and layouts whose top row types other characters, change nothing (as with the
// classic key codes). -1 for other keys and where the place is unknown.
int topRowDigit(const QKeyEvent* event)
{
#if defined(Q_OS_WIN)
    // The virtual keys 0x30-0x39 are the top-row keys whatever the layout.
    const quint32 virtualKey = event->nativeVirtualKey();
    if (virtualKey >= 0x30 && virtualKey <= 0x39) {
        return static_cast<int>(virtualKey - 0x30);
    }
#elif defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    // xkb key codes (X11, Wayland): 10 to 19 are the keys 1 to 9 and 0.
    const quint32 keyCode = event->nativeScanCode();
    if (keyCode >= 10 && keyCode <= 19) {
        return static_cast<int>(keyCode - 9) % 10;
    }
#else
    Q_UNUSED(event);
#endif
    return -1;
}

} // namespace

int KeyCode(const QKeyEvent* event)
{
    const bool keypad = event->modifiers().testFlag(Qt::KeypadModifier);
    if (const int digit = topRowDigit(event); digit >= 0 && !keypad) {
        return Qt::Key_0 + digit; // 48-57, the same numbers
    }
    const int key = event->key();
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        // The digits of the numeric keypad have codes of their own (96-105); the main
        // keyboard's are 48-57, the same numbers.
        constexpr int vbKeyNumpad0 = 96;
        return keypad ? vbKeyNumpad0 + (key - Qt::Key_0) : key;
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
        return key; // 65-90, the same numbers
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {
        return vbKeyF1 + (key - Qt::Key_F1);
    }
    switch (key) {
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
        return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return vbKeyReturn;
    case Qt::Key_Shift:
        return 16;
    case Qt::Key_Control:
        return 17;
    case Qt::Key_Alt:
        return 18;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Space:
        return 32;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_End:
        return 35;
    case Qt::Key_Home:
        return 36;
    case Qt::Key_Left:
        return 37;
    case Qt::Key_Up:
        return 38;
    case Qt::Key_Right:
        return 39;
    case Qt::Key_Down:
        return 40;
    case Qt::Key_Insert:
        return 45;
    case Qt::Key_Delete:
        return vbKeyDelete;
    case Qt::Key_ScrollLock:
        return vbKeyScrollLock;
    default:
        return 0;
    }
}

int ShiftState(Qt::KeyboardModifiers modifiers)
{
    int state = 0;
    if (modifiers & Qt::ShiftModifier) {
        state |= vbShiftMask;
    }
    if (modifiers & Qt::ControlModifier) {
        state |= vbCtrlMask;
    }
    if (modifiers & Qt::AltModifier) {
        state |= vbAltMask;
    }
    return state;
}

} // namespace VbKey
