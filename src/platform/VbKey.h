// Key codes and shift states as the classic Windows key events give them, so that handlers can
// name keys by those numbers (13 Enter, 46 Delete, 112 F1, 49 the digit 1, ...).
#pragma once

#include <Qt>

class QKeyEvent;

namespace VbKey {

inline constexpr int vbKeyReturn = 13;
inline constexpr int vbKeyDelete = 46;
inline constexpr int vbKeyF1 = 112;
inline constexpr int vbKeyScrollLock = 145;

// Shift-state bits.
inline constexpr int vbShiftMask = 1;
inline constexpr int vbCtrlMask = 2;
inline constexpr int vbAltMask = 4;

// The key code of a key event; 0 for keys without one. A key of the top row gives its digit's
// code by its place, whatever it types under Shift or the keyboard layout.
int KeyCode(const QKeyEvent* event);
// The shift state of modifiers.
int ShiftState(Qt::KeyboardModifiers modifiers);

} // namespace VbKey
