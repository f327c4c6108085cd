// The accessibility factory of the program's own controls.
#include "ui/controls/modAccessibility.h"

#include "platform/Grid.h"
#include "platform/GridAccessible.h"
#include "ui/controls/DecorativeImageAccessible.h"
#include "ui/controls/usrHyperlink.h"
#include "ui/controls/usrHyperlinkAccessible.h"

#include <QAccessible>
#include <QWidget>

namespace {

constexpr char kDecorativeProperty[] = "decorativeImage";

QAccessibleInterface* factory(const QString& sClassName, QObject* object)
{
    if (sClassName == QLatin1String("Grid")) {
        if (auto* grid = qobject_cast<Grid*>(object)) {
            return new GridAccessible(grid);
        }
    } else if (sClassName == QLatin1String("usrHyperlink")) {
        if (auto* link = qobject_cast<usrHyperlink*>(object)) {
            return new usrHyperlinkAccessible(link);
        }
    } else if (object->property(kDecorativeProperty).toBool()) {
        if (auto* image = qobject_cast<QWidget*>(object)) {
            return new DecorativeImageAccessible(image);
        }
    }
    return nullptr;
}

} // namespace

namespace modAccessibility {

void Install()
{
    QAccessible::installFactory(factory);
}

void SetDecorative(QWidget* image)
{
    image->setProperty(kDecorativeProperty, true);
}

} // namespace modAccessibility
