// Key codes and shift states as the classic Windows key events give them.
#include "platform/VbKey.h"

#include <QKeyEvent>

namespace VbKey {

int KeyCode(const QKeyEvent* event)
{
    const int key = event->key();
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        // The digits of the numeric keypad have codes of their own (96-105); the main
        // keyboard's are 48-57, the same numbers.
        constexpr int vbKeyNumpad0 = 96;
        return event->modifiers().testFlag(Qt::KeypadModifier) ? vbKeyNumpad0 + (key - Qt::Key_0)
                                                               : key;
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
