// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The pictures of the main window, drawn at run time: the still and animated
// state indicator, and the three state icons of the monitor list (heard
// from within 10 minutes, within an hour, longer ago).
#include <QIcon>
#include <QLabel>
#include <QList>
#include <QPixmap>
#include <QTimer>

namespace ortolan {

QList<QIcon> MakeStateIcons();
QPixmap MakeIdlePicture(int size);
// Frame `frame` of `frameCount` of the monitoring animation.
QPixmap MakeMonitoringFrame(int size, int frame, int frameCount);

// Shows the still picture when idle and steps through the animation, one
// frame each 200 ms, while monitoring.
class CStateIndicator : public QLabel {
    Q_OBJECT
public:
    static constexpr int kFrameMs = 200;
    static constexpr int kFrameCount = 12;

    explicit CStateIndicator(QWidget* parent = nullptr);
    void SetAnimated(bool animated);
    bool animated() const { return m_timer.isActive(); }
    int frame() const { return m_frame; }

private:
    void Step();

    QList<QPixmap> m_frames;
    QPixmap m_idle;
    QTimer m_timer;
    int m_frame = 0;
};

}  // namespace ortolan
