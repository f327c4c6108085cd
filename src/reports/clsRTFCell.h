// One table cell of an RTF report: its right edge, text, alignment, borders and one-time bold.
#pragma once

#include <QString>

class clsRTFCell
{
public:
    // All four sides single, 15 twips wide.
    static constexpr char16_t FULL_BORDER[] = u"\\clbrdrt\\brdrs\\brdrw15\\clbrdrb\\brdrs\\brdrw15"
                                              u"\\clbrdrl\\brdrs\\brdrw15\\clbrdrr\\brdrs\\brdrw15";

    // Right edge in twips from the left margin.
    qint32 CELLX = 0;
    QString COLUMN_TX;
    // 0 left, 1 centre, 2 right.
    qint32 CELL_ALIGNMENT = 0;
    // 0 top, 1 centre, 2 bottom.
    qint32 CELL_VERTICAL_TEXT_ALIGNMENT = 0;
    QString CELL_BORDER = QString::fromUtf16(FULL_BORDER);
    // Bold for the next row written only; the writer clears it.
    bool BOLD = false;

    // "\ql", "\qc" or "\qr" for the alignment; empty for any other value.
    QString Q() const;
    // "\clvertalt", "\clvertalc" or "\clvertalb" for the vertical alignment; empty otherwise.
    QString CLVERTAL() const;
};
