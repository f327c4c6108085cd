// The program's images: drawn from their SVG sources at the size a window shows them.
#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>

namespace modImage {

// The SVG drawn at the size in device-independent pixels, sharp on high-density screens.
QPixmap SvgPixmap(const QString& sPath, const QSize& size);

} // namespace modImage
