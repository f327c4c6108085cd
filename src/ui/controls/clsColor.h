// The program's shared colours: the grid's light grey and the two colours of link captions.
#pragma once

#include <QColor>

class clsColor
{
public:
    // The one instance the windows share; the class holds no state.
    static clsColor& shared();

    QColor Gray() const;
    QColor Hyperlink() const;
    QColor HyperlinkDisabled() const;
};
