// SPDX-License-Identifier: GPL-3.0-or-later
#include "small_images.h"

#include <QPainter>
#include <QPixmap>

namespace ortolan {
namespace {

QIcon Draw(QColor fill)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(fill.darker(160), 1));
    painter.setBrush(fill);
    painter.drawEllipse(QRectF(2.5, 2.5, 11, 11));
    return QIcon(pixmap);
}

}  // namespace

SmallImages MakeSmallImages()
{
    return {
        Draw(QColor(0, 160, 0)),      // seen and active
        Draw(QColor(150, 150, 150)),  // silent for a day
        Draw(QColor(255, 200, 0)),    // new within the day
    };
}

const QIcon& SmallImage(const SmallImages& images, int index)
{
    return images[static_cast<size_t>(index >= 0 && index < kSmallImageCount ? index : 0)];
}

}  // namespace ortolan
