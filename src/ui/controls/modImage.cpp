// The program's images, drawn from their SVG sources.
#include "ui/controls/modImage.h"

#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>

namespace modImage {

QPixmap SvgPixmap(const QString& sPath, const QSize& size)
{
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(sPath);
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return pixmap;
}

} // namespace modImage
