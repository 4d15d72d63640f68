#include "desktop/tree_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tarvex {

namespace {

void drawAttributes(QPainter &p) {
    // A palette with three colour wells.
    p.setPen(QPen(QColor(90, 60, 20), 1));
    p.setBrush(QColor(230, 190, 120));
    p.drawEllipse(QRectF(1.5, 2.5, 13, 11));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(220, 30, 30));
    p.drawEllipse(QRectF(4, 4.5, 3, 3));
    p.setBrush(QColor(30, 160, 40));
    p.drawEllipse(QRectF(8.5, 4.5, 3, 3));
    p.setBrush(QColor(30, 70, 220));
    p.drawEllipse(QRectF(4.5, 8.5, 3, 3));
}

void drawLight(QPainter &p) {
    // A bulb with its screw base.
    p.setPen(QPen(QColor(120, 90, 0), 1));
    p.setBrush(QColor(255, 225, 60));
    p.drawEllipse(QRectF(3.5, 1.5, 9, 9));
    p.setBrush(QColor(150, 150, 150));
    p.drawRect(QRectF(5.5, 10.5, 5, 4));
    p.drawLine(QPointF(5.5, 12.5), QPointF(10.5, 12.5));
}

void drawCamera(QPainter &p) {
    // A body, a lens and a viewfinder bump.
    p.setPen(QPen(QColor(20, 20, 20), 1));
    p.setBrush(QColor(70, 70, 80));
    p.drawRect(QRectF(1.5, 4.5, 13, 9));
    p.drawRect(QRectF(4.5, 2.5, 4, 2));
    p.setBrush(QColor(150, 200, 255));
    p.drawEllipse(QRectF(5, 6, 6, 6));
}

void drawHint(QPainter &p) {
    // A blue disc with a white "i".
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 100, 200));
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(7, 3.5, 2, 2));
    p.drawRect(QRectF(7, 7, 2, 6));
}

void drawOther(QPainter &p) {
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(QRectF(3.5, 3.5, 9, 9));
}

}  // namespace

QIcon treeIcon(ObjectKind kind) {
    QPixmap picture(16, 16);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    switch (kind) {
        case ObjectKind::attributes:
            drawAttributes(p);
            break;
        case ObjectKind::light:
            drawLight(p);
            break;
        case ObjectKind::camera:
            drawCamera(p);
            break;
        case ObjectKind::hint:
            drawHint(p);
            break;
        case ObjectKind::geometry:
        case ObjectKind::group:
        case ObjectKind::other:
            drawOther(p);
            break;
    }
    p.end();
    return QIcon(picture);
}

}  // namespace tarvex
