#include "frm_splash.h"

#include <qdrawutil.h>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <algorithm>

#include "artwork.h"
#include "design_fonts.h"
#include "form_layout.h"
#include "window_hints.h"

namespace hideaway {

namespace {

/// The raised dialog frame drawn around the client area, in pixels.
constexpr int kDialogFrame = 3;
/// The client area (7380 x 4245 twips).
constexpr QSize kClientSize{492, 283};

}  // namespace

FrmSplash::FrmSplash(QScreen* screen)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint),
      m_client(new QWidget(this)),
      m_frame(new QFrame(m_client)) {
    setObjectName(QStringLiteral("frmSplash"));
    setAccessibleName(QStringLiteral("About Hideaway100K"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Qt takes tool windows out of the last-window count; this one must keep the program alive
    // after the main window was closed, until it is dismissed itself.
    setAttribute(Qt::WA_QuitOnClose, true);
    setFont(sansSerifFont());
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    setFixedSize(
        kClientSize.grownBy(QMargins(kDialogFrame, kDialogFrame, kDialogFrame, kDialogFrame)));

    m_client->setGeometry(QRect(QPoint(kDialogFrame, kDialogFrame), kClientSize));

    m_frame->setObjectName(QStringLiteral("Frame1"));
    m_frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    m_frame->setGeometry(twipsRect(150, 60, 7080, 4050));
    m_frame->installEventFilter(this);

    const Qt::Alignment centred = Qt::AlignHCenter | Qt::AlignTop;
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignTop;
    const Qt::Alignment left = Qt::AlignLeft | Qt::AlignTop;

    addLabel("Label1", QStringLiteral("Presented by the J7 Club - j7club.example"),
             twipsRect(120, 240, 6855, 255), arialFont(8.25), centred, false);
    addLabel("Label2", QStringLiteral("Corvane"), twipsRect(3675, 705, 1875, 435), impactFont(18),
             centred, true);

    auto* logo = new QLabel(m_frame);
    logo->setObjectName(QStringLiteral("imgLogo"));
    logo->setAccessibleName(QStringLiteral("Logo: a padlock"));
    logo->setPixmap(QPixmap::fromImage(loadPicture(kLogoPicture)));
    logo->setScaledContents(true);
    logo->setGeometry(twipsRect(360, 795, 2295, 1785));

    QLabel* product = addLabel("lblProductName", QStringLiteral("Hideaway 100K"),
                               twipsRect(2850, 1140, 3615, 435), impactFont(18), centred, true);
    QPalette red = product->palette();
    red.setColor(QPalette::WindowText, QColor(0xFF, 0x00, 0x00));
    product->setPalette(red);

    addLabel("lblPlatform", QStringLiteral("For Sony CMD-J5/6/7/70"),
             twipsRect(3240, 2340, 3615, 360), arialFont(15.75, true), right, true);
    addLabel("lblVersion", QStringLiteral("Version 1.1"), twipsRect(5580, 2700, 1275, 285),
             arialFont(12, true), right, true);
    addLabel("Label3",
             QStringLiteral("Thanks to Mira, Tobias, Ines and Karel for testing and ideas"),
             twipsRect(120, 2760, 3375, 495), sansSerifFont(), left, false);
    addLabel("Label4", QStringLiteral("(c) 2026 Corvane"), twipsRect(4560, 3060, 2415, 255),
             arialFont(8.25), left, false);
    addLabel("Label5", QStringLiteral("Free software, MIT License"),
             twipsRect(4560, 3270, 2415, 255), arialFont(8.25), left, false);
    addLabel("lblWarning",
             QStringLiteral(" Warning! Use at your own risk! The Author is not responsible for "
                            "Hideaway100K use or abuse."),
             twipsRect(120, 3660, 6375, 195), arialFont(8.25), left, false);

    QScreen* target = screen != nullptr ? screen : QGuiApplication::primaryScreen();
    if (target != nullptr) {
        QRect placed = rect();
        placed.moveCenter(target->availableGeometry().center());
        move(placed.topLeft());
    }
    keepOutOfWindowLists(this);
}

QLabel* FrmSplash::addLabel(const char* name, const QString& text, const QRect& box,
                            const QFont& font, Qt::Alignment alignment, bool sizedToText) {
    auto* label = new QLabel(text, m_frame);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    label->setAlignment(alignment);
    label->setBackgroundRole(QPalette::Button);
    // On a button-face background Qt would draw the text in the button-text colour.
    label->setForegroundRole(QPalette::WindowText);
    label->setAutoFillBackground(true);
    label->setGeometry(box);
    if (!sizedToText) {
        label->setWordWrap(true);
        const int textWidth = label->fontMetrics().horizontalAdvance(text);
        const bool oneLine = box.height() < 2 * label->fontMetrics().height();
        if (oneLine && textWidth > box.width()) {
            // The box fits the design's own face; where the stand-in draws wider, the line
            // would break onto a second line that the box hides. It widens instead, as far as
            // the frame allows.
            const int room = m_frame->contentsRect().right() + 1 - box.left();
            label->setWordWrap(false);
            label->resize(std::min(textWidth, room), box.height());
        }
        return label;
    }
    // A label sized to its text keeps the edge its alignment points to (or its centre) where
    // the design put it, whatever the face that stands in for the design's font.
    QRect fitted(box.topLeft(), label->sizeHint());
    if (alignment & Qt::AlignRight) {
        fitted.moveRight(box.right());
    } else if (alignment & Qt::AlignHCenter) {
        fitted.moveLeft(box.center().x() - fitted.width() / 2);
    }
    label->setGeometry(fitted);
    return label;
}

namespace {

/// Whether the key gives a character, as it would on the classic desktop. X11 attaches text to
/// some keys that give none there: Delete (and keypad Delete) carry DEL, and Alt with a letter
/// carries the letter, where Windows makes it a menu key.
bool producesCharacter(const QKeyEvent* event) {
    const QString text = event->text();
    return !text.isEmpty() && event->key() != Qt::Key_Delete && text != QChar(0x7F) &&
           !(event->modifiers() & Qt::AltModifier);
}

}  // namespace

void FrmSplash::keyPressEvent(QKeyEvent* event) {
    // Keys without a character (arrows, function keys, modifiers alone) leave the window open.
    if (!producesCharacter(event)) {
        QWidget::keyPressEvent(event);
        return;
    }
    close();
}

void FrmSplash::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    QPainter painter(this);
    qDrawWinPanel(&painter, rect(), palette(), false);
}

bool FrmSplash::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_frame) {
        return QWidget::eventFilter(watched, event);
    }
    // A click: the left button pressed and released on the frame's own surface. A click on a
    // label or the picture reaches the frame too when they pass it on; it does not count.
    const auto onSurface = [this](const QMouseEvent* mouse) {
        const QPoint at = mouse->position().toPoint();
        return m_frame->rect().contains(at) && m_frame->childAt(at) == nullptr;
    };
    if (event->type() == QEvent::MouseButtonPress) {
        const auto* press = static_cast<QMouseEvent*>(event);
        if (press->button() == Qt::LeftButton) {
            m_framePressed = onSurface(press);
            if (m_framePressed) {
                return true;
            }
        }
    } else if (event->type() == QEvent::MouseButtonRelease) {
        const auto* release = static_cast<QMouseEvent*>(event);
        if (release->button() == Qt::LeftButton && m_framePressed) {
            m_framePressed = false;
            if (onSurface(release)) {
                close();
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace hideaway
