// SPDX-License-Identifier: GPL-3.0-or-later
#include "splash.h"

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include "dialog_seam.h"

namespace ortolan {
namespace {

uint32_t LoadLe32(const QByteArray& b, int at)
{
    auto byte = [&](int i) { return uint32_t(uint8_t(b[at + i])); };
    return byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
}

// File header (14 bytes), then the size of the info header; the old 12-byte
// core header holds unsigned 16-bit sizes, the later ones signed 32-bit.
constexpr int kFileHeaderBytes = 14;
constexpr int kCoreHeaderBytes = 12;
constexpr int kInfoSizesEnd = kFileHeaderBytes + 12;

}  // namespace

CSplash::CSplash(IDialogSeam& seam, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_seam(seam)
{
    setFocusPolicy(Qt::StrongFocus);
}

CSplash::LoadResult CSplash::Load(const QString& path)
{
    m_picture = QPixmap();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return LoadResult::Unreadable;
    QByteArray head = file.read(kInfoSizesEnd);
    if (head.size() < kFileHeaderBytes || !head.startsWith("BM")) return LoadResult::Unreadable;
    qint64 declared = qint64(LoadLe32(head, 2));
    if (declared > kMaxFileBytes || file.size() < declared) return LoadResult::Unreadable;
    if (head.size() < kInfoSizesEnd) return LoadResult::Unreadable;
    if (LoadLe32(head, kFileHeaderBytes) != kCoreHeaderBytes) {
        auto width = int32_t(LoadLe32(head, 18));
        auto height = int32_t(LoadLe32(head, 22));
        if (width < 0 || height < 0) {
            m_seam.ShowMessage(nullptr, QStringLiteral("ビットマップデータが大きすぎます。"));
            return LoadResult::NegativeSize;
        }
    }
    // What the header declares is what is read; bytes after it are not the bitmap's.
    QByteArray data = head + file.read(std::max<qint64>(declared, head.size()) - head.size());
    if (data.size() < declared) return LoadResult::Unreadable;
    QImage image = QImage::fromData(data, "BMP");
    if (image.isNull()) return LoadResult::Undecodable;
    m_picture = QPixmap::fromImage(image);
    return LoadResult::Ok;
}

void CSplash::ShowFor(int milliseconds)
{
    if (m_picture.isNull()) return;
    setFixedSize(m_picture.size());
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->geometry();
        move(area.center() - rect().center());
    }
    qApp->installEventFilter(this);
    show();
    raise();
    activateWindow();
    setFocus();
    QTimer::singleShot(milliseconds, this, &QWidget::close);
}

void CSplash::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture);
}

void CSplash::keyPressEvent(QKeyEvent*)
{
    close();
}

void CSplash::hideEvent(QHideEvent* event)
{
    qApp->removeEventFilter(this);
    QWidget::hideEvent(event);
}

bool CSplash::eventFilter(QObject* watched, QEvent* event)
{
    // The key that closes the splash does nothing else: an Escape meant for
    // the splash must not also close the main window.
    if (event->type() == QEvent::KeyPress && isVisible()) {
        close();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CSplash::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton ||
        event->button() == Qt::MiddleButton)
        close();
}

}  // namespace ortolan
