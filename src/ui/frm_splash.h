#pragma once

#include <QWidget>

class QFrame;
class QLabel;
class QScreen;

namespace hideaway {

/// The about window: product name, version, supported phones, a warning and credit lines, on a
/// dialog frame without a title bar. It belongs to no other window, stays out of the taskbar and
/// deletes itself when closed. A key that produces a character, or a click on the frame's own
/// surface (the left button released there after it went down there), closes it.
class FrmSplash final : public QWidget {
    Q_OBJECT

public:
    /// Centred on screen, or on the primary screen when none is given. Not shown yet.
    explicit FrmSplash(QScreen* screen = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* addLabel(const char* name, const QString& text, const QRect& box, const QFont& font,
                     Qt::Alignment alignment, bool sizedToText);

    QWidget* m_client;
    QFrame* m_frame;
    /// The left button went down on the frame's own surface and is not up yet.
    bool m_framePressed = false;
};

}  // namespace hideaway
