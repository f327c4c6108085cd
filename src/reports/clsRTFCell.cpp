// The RTF words for a cell's horizontal and vertical alignment.
#include "reports/clsRTFCell.h"

QString clsRTFCell::Q() const
{
    switch (CELL_ALIGNMENT) {
    case 0:
        return QStringLiteral("\\ql");
    case 1:
        return QStringLiteral("\\qc");
    case 2:
        return QStringLiteral("\\qr");
    default:
        return QString();
    }
}

QString clsRTFCell::CLVERTAL() const
{
    switch (CELL_VERTICAL_TEXT_ALIGNMENT) {
    case 0:
        return QStringLiteral("\\clvertalt");
    case 1:
        return QStringLiteral("\\clvertalc");
    case 2:
        return QStringLiteral("\\clvertalb");
    default:
        return QString();
    }
}
