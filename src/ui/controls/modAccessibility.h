// The program's own controls for assistive technology: one factory gives the list its table,
// the link control its link and marked images their silence. Install once, before any window.
#pragma once

class QWidget;

namespace modAccessibility {

// Adds the factory to Qt's accessibility; calling it again changes nothing.
void Install();

// Marks an image that carries no meaning, before the window is first shown.
void SetDecorative(QWidget* image);

} // namespace modAccessibility
