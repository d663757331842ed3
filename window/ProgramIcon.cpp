#include "window/ProgramIcon.h"

#include <QConicalGradient>
#include <QPainter>
#include <QPixmap>

namespace teintelle {

// A colour wheel in a dark rounded square, with a drop of colour at its
// centre: a look tried on a picture.
QPixmap programIconPixmap(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF square(0, 0, size, size);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x20, 0x20, 0x24));
    painter.drawRoundedRect(square, size * 0.18, size * 0.18);

    QConicalGradient wheel(square.center(), 90);
    const QColor hues[] = {Qt::red, Qt::yellow, Qt::green, Qt::cyan, Qt::blue, Qt::magenta, Qt::red};
    for (int i = 0; i < 7; ++i)
        wheel.setColorAt(i / 6.0, hues[i]);
    painter.setBrush(wheel);
    const qreal margin = size * 0.12;
    painter.drawEllipse(square.adjusted(margin, margin, -margin, -margin));

    painter.setBrush(QColor(0xF5, 0xE6, 0xC8));
    const qreal core = size * 0.30;
    painter.drawEllipse(square.adjusted(core, core, -core, -core));
    return pixmap;
}

QIcon programIcon()
{
    QIcon icon;
    for (int size : {256, 48, 24, 16})
        icon.addPixmap(programIconPixmap(size));
    return icon;
}

} // namespace teintelle
