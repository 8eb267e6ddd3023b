// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The start-up picture: "Setup.bmp" beside the executable in a borderless
// top-most window the size of the bitmap, centred on the screen. It closes
// itself after the given time, or at once on a key press or a mouse button.
// The main window runs modally under it and takes the keyboard focus as it
// opens, so while shown the splash watches every key press of the
// application; it is made a child of the main window so that the modal
// window does not block the mouse on the splash itself.
#include <QPixmap>
#include <QString>
#include <QWidget>

namespace ortolan {

class IDialogSeam;

class CSplash : public QWidget {
    Q_OBJECT
public:
    enum class LoadResult {
        Ok,
        Unreadable,    // missing, not starting with "BM", shorter than its header says, too big
        NegativeSize,  // a negative width or height: the message was shown
        Undecodable    // the bitmap's pixels could not be decoded
    };

    // Bitmap files larger than this are not read at all.
    static constexpr qint64 kMaxFileBytes = 32 << 20;

    explicit CSplash(IDialogSeam& seam, QWidget* parent = nullptr);

    // Reads and checks the bitmap file; only Ok leaves a picture to show.
    LoadResult Load(const QString& path);
    // Shows the loaded picture and closes it after the given milliseconds.
    void ShowFor(int milliseconds);
    const QPixmap& picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    IDialogSeam& m_seam;
    QPixmap m_picture;
};

}  // namespace ortolan
