#include "app/window/artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>

namespace tervo {

namespace {

const QColor kOcean(38, 110, 190);
const QColor kOceanLight(120, 185, 240);
const QColor kLand(70, 150, 80);
const QColor kGrid(230, 240, 255, 150);
const QColor kTrack(220, 40, 40);

QPixmap Transparent(int width, int height) {
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// A shaded globe with two continents and a few meridians and parallels; its
// lines are `lineScale` times as wide as in the window's pictures.
void PaintGlobe(QPainter& painter, const QRectF& box, bool detailed, double lineScale = 1.0) {
    QRadialGradient shade(box.center() - QPointF(box.width() * 0.2, box.height() * 0.2), box.width() * 0.7);
    shade.setColorAt(0.0, kOceanLight);
    shade.setColorAt(1.0, kOcean);
    painter.setPen(Qt::NoPen);
    painter.setBrush(shade);
    painter.drawEllipse(box);

    QPainterPath clip;
    clip.addEllipse(box);
    painter.save();
    painter.setClipPath(clip);
    const double w = box.width();
    const double h = box.height();
    const QPointF o = box.topLeft();
    auto at = [&](double x, double y) { return QPointF(o.x() + x * w, o.y() + y * h); };
    painter.setBrush(kLand);
    painter.drawPolygon(QPolygonF{at(0.18, 0.22), at(0.42, 0.12), at(0.50, 0.30), at(0.40, 0.45),
                                  at(0.30, 0.62), at(0.20, 0.50), at(0.10, 0.38)});
    painter.drawPolygon(QPolygonF{at(0.58, 0.48), at(0.80, 0.40), at(0.92, 0.58), at(0.78, 0.80),
                                  at(0.62, 0.88), at(0.55, 0.68)});
    if (detailed) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(kGrid, 1.0 * lineScale));
        for (double f : {0.25, 0.5, 0.75}) {
            const double half = w * std::sqrt(1.0 - (2.0 * f - 1.0) * (2.0 * f - 1.0)) / 2.0;
            painter.drawLine(QPointF(box.center().x() - half, o.y() + f * h),
                             QPointF(box.center().x() + half, o.y() + f * h));
        }
        // Meridians: ellipses through both poles, narrower towards the middle one.
        for (double f : {0.0, 0.4, 0.75}) {
            const double width = w * f;
            painter.drawEllipse(QRectF(box.center().x() - width / 2.0, o.y(), width, h));
        }
    }
    painter.restore();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(20, 50, 100), (detailed ? 2.0 : 1.0) * lineScale));
    painter.drawEllipse(box);
}

// A waypoint arrow pointing along `degrees` (0 = up, clockwise).
void PaintArrow(QPainter& painter, QPointF centre, double size, double degrees, QColor fill,
                double lineScale = 1.0) {
    painter.save();
    painter.translate(centre);
    painter.rotate(degrees);
    QPolygonF arrow{QPointF(0, -size), QPointF(size * 0.6, size * 0.7), QPointF(0, size * 0.3),
                    QPointF(-size * 0.6, size * 0.7)};
    painter.setPen(QPen(Qt::black, 1.0 * lineScale));
    painter.setBrush(fill);
    painter.drawPolygon(arrow);
    painter.restore();
}

}  // namespace

QPixmap DrawLogo() {
    QPixmap logo = Transparent(218, 171);
    QPainter painter(&logo);
    painter.setRenderHint(QPainter::Antialiasing);
    PaintGlobe(painter, QRectF(34, 6, 150, 150), true);

    // A drive across the globe, its fixes shown as arrows along the course.
    const QPointF fixes[] = {{22, 140}, {60, 118}, {98, 112}, {128, 88}, {150, 58}, {190, 36}};
    QPainterPath track(fixes[0]);
    for (size_t i = 1; i < std::size(fixes); ++i) {
        const QPointF control = (fixes[i - 1] + fixes[i]) / 2.0 + QPointF(0, 6);
        track.quadTo(control, fixes[i]);
    }
    painter.setPen(QPen(kTrack, 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(track);
    for (size_t i = 0; i + 1 < std::size(fixes); ++i) {
        const QPointF d = fixes[i + 1] - fixes[i];
        const double course = std::atan2(d.x(), -d.y()) * 180.0 / M_PI;
        PaintArrow(painter, fixes[i], 7.0, course, QColor(255, 220, 40));
    }
    PaintArrow(painter, fixes[std::size(fixes) - 1], 8.0, 60.0, QColor(120, 230, 90));
    painter.end();
    return logo;
}

QIcon DrawWindowIcon() {
    QIcon icon;
    for (int size : {16, 32, 48}) {
        icon.addPixmap(DrawProgramIcon(size));
    }
    return icon;
}

QPixmap DrawProgramIcon(int size) {
    const double lineScale = std::max(1.0, size / 48.0);
    QPixmap pixmap = Transparent(size, size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    PaintGlobe(painter, QRectF(lineScale, lineScale, size - 2 * lineScale, size - 2 * lineScale), size >= 32,
               lineScale);
    PaintArrow(painter, QPointF(size * 0.62, size * 0.45), size * 0.28, 40.0, QColor(255, 220, 40),
               lineScale);
    painter.end();
    return pixmap;
}

QIcon DrawOpenFolderGlyph() {
    QPixmap pixmap = Transparent(16, 16);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(120, 90, 10), 1.0));
    painter.setBrush(QColor(230, 190, 60));
    // The back of the folder with its tab, then the opened front leaning forward.
    painter.drawPolygon(QPolygonF{QPointF(1.5, 3.5), QPointF(6.5, 3.5), QPointF(7.5, 5.0), QPointF(13.5, 5.0),
                                  QPointF(13.5, 13.5), QPointF(1.5, 13.5)});
    painter.setBrush(QColor(250, 220, 110));
    painter.drawPolygon(
        QPolygonF{QPointF(3.5, 7.5), QPointF(15.0, 7.5), QPointF(13.0, 13.5), QPointF(1.5, 13.5)});
    painter.end();
    return QIcon(pixmap);
}

QIcon DrawFloppyGlyph() {
    QPixmap pixmap = Transparent(16, 16);
    QPainter painter(&pixmap);
    painter.setPen(QPen(QColor(10, 20, 60), 1.0));
    painter.setBrush(QColor(40, 70, 160));
    painter.drawPolygon(QPolygon{QPoint(1, 1), QPoint(13, 1), QPoint(14, 2), QPoint(14, 14), QPoint(1, 14)});
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRect(3, 2, 9, 5);  // the label
    painter.setBrush(QColor(190, 190, 200));
    painter.drawRect(4, 10, 7, 4);  // the shutter
    painter.setBrush(QColor(40, 70, 160));
    painter.drawRect(8, 11, 2, 2);
    painter.end();
    return QIcon(pixmap);
}

QIcon DrawGlobeGlyph() {
    QPixmap pixmap = Transparent(16, 16);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    PaintGlobe(painter, QRectF(1, 1, 14, 14), false);
    painter.end();
    return QIcon(pixmap);
}

}  // namespace tervo
