// SPDX-License-Identifier: GPL-3.0-or-later
#include "state_pictures.h"

#include <QPainter>
#include <QRadialGradient>
#include <cmath>

namespace ortolan {
namespace {

constexpr int kPictureSize = 48;

QPixmap Blank(int size)
{
    QPixmap p(size, size);
    p.fill(Qt::transparent);
    return p;
}

// A radar screen: dark disc, rings and cross hairs.
void DrawScreen(QPainter& painter, int size, const QColor& ring)
{
    painter.setRenderHint(QPainter::Antialiasing);
    QRectF r(1.5, 1.5, size - 3, size - 3);
    QRadialGradient fill(r.center(), r.width() / 2);
    fill.setColorAt(0, QColor(20, 40, 20));
    fill.setColorAt(1, QColor(5, 15, 5));
    painter.setBrush(fill);
    painter.setPen(QPen(QColor(120, 120, 120), 1.5));
    painter.drawEllipse(r);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(ring, 1));
    painter.drawEllipse(r.adjusted(size / 6.0, size / 6.0, -size / 6.0, -size / 6.0));
    painter.drawLine(QPointF(r.center().x(), r.top() + 3), QPointF(r.center().x(), r.bottom() - 3));
    painter.drawLine(QPointF(r.left() + 3, r.center().y()), QPointF(r.right() - 3, r.center().y()));
}

}  // namespace

QList<QIcon> MakeStateIcons()
{
    const QColor colors[3] = {QColor(40, 200, 60), QColor(240, 190, 0), QColor(210, 40, 40)};
    QList<QIcon> icons;
    for (const QColor& color : colors) {
        QPixmap p = Blank(16);
        QPainter painter(&p);
        painter.setRenderHint(QPainter::Antialiasing);
        QRadialGradient g(QPointF(6, 6), 8);
        g.setColorAt(0, color.lighter(160));
        g.setColorAt(1, color.darker(120));
        painter.setBrush(g);
        painter.setPen(QPen(color.darker(180), 1));
        painter.drawEllipse(QRectF(2.5, 2.5, 11, 11));
        painter.end();
        icons << QIcon(p);
    }
    return icons;
}

QPixmap MakeIdlePicture(int size)
{
    QPixmap p = Blank(size);
    QPainter painter(&p);
    DrawScreen(painter, size, QColor(60, 90, 60));
    return p;
}

QPixmap MakeMonitoringFrame(int size, int frame, int frameCount)
{
    QPixmap p = Blank(size);
    QPainter painter(&p);
    DrawScreen(painter, size, QColor(0, 150, 0));
    // The sweep fades behind its leading edge.
    QRectF r(3, 3, size - 6, size - 6);
    int lead = 90 * 16 - frame * 360 * 16 / frameCount;
    for (int i = 0; i < 6; ++i) {
        QColor c(0, 255, 0, 200 - i * 32);
        painter.setBrush(c);
        painter.setPen(Qt::NoPen);
        painter.drawPie(r, lead + i * 10 * 16, 10 * 16);
    }
    painter.setPen(QPen(QColor(180, 255, 180), 1.5));
    double angle = (lead / 16.0) * M_PI / 180.0;
    QPointF c = r.center();
    painter.drawLine(c, c + QPointF(std::cos(angle) * r.width() / 2, -std::sin(angle) * r.height() / 2));
    return p;
}

CStateIndicator::CStateIndicator(QWidget* parent) : QLabel(parent)
{
    m_idle = MakeIdlePicture(kPictureSize);
    for (int i = 0; i < kFrameCount; ++i) m_frames << MakeMonitoringFrame(kPictureSize, i, kFrameCount);
    setFixedSize(kPictureSize, kPictureSize);
    setPixmap(m_idle);
    m_timer.setInterval(kFrameMs);
    connect(&m_timer, &QTimer::timeout, this, &CStateIndicator::Step);
}

void CStateIndicator::SetAnimated(bool animated)
{
    if (animated) {
        m_frame = 0;
        setPixmap(m_frames[0]);
        m_timer.start();
    } else {
        m_timer.stop();
        setPixmap(m_idle);
    }
}

void CStateIndicator::Step()
{
    m_frame = (m_frame + 1) % kFrameCount;
    setPixmap(m_frames[m_frame]);
}

}  // namespace ortolan
