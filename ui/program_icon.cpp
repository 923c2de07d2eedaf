#include "ui/program_icon.hpp"

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace quorvelv {
namespace {

// A cloud-blue tile with a white arrow pointing down into a tray: files fetched from a cloud drive.
QPixmap icon_picture(int size) {
    QPixmap picture(size, size);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = size / 16.0;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x0F, 0x41, 0x79));
    painter.drawRoundedRect(QRectF(0.5 * unit, 0.5 * unit, 15 * unit, 15 * unit), 3 * unit, 3 * unit);

    painter.setBrush(Qt::white);
    QPainterPath arrow;
    arrow.moveTo(6.5 * unit, 2.5 * unit);
    arrow.lineTo(9.5 * unit, 2.5 * unit);
    arrow.lineTo(9.5 * unit, 7 * unit);
    arrow.lineTo(12 * unit, 7 * unit);
    arrow.lineTo(8 * unit, 11 * unit);
    arrow.lineTo(4 * unit, 7 * unit);
    arrow.lineTo(6.5 * unit, 7 * unit);
    arrow.closeSubpath();
    painter.drawPath(arrow);
    painter.drawRect(QRectF(3 * unit, 12 * unit, 10 * unit, 1.5 * unit));
    return picture;
}

}  // namespace

QIcon program_icon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64}) icon.addPixmap(icon_picture(size));
    return icon;
}

}  // namespace quorvelv
