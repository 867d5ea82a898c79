#include "form_main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QWindow>

#include <algorithm>
#include <exception>
#include <type_traits>
#include <utility>

#include "app_error.h"
#include "app_message.h"
#include "artwork.h"
#include "com_dlg.h"
#include "design_fonts.h"
#include "form_layout.h"
#include "frm_splash.h"
#include "gbp_library.h"
#include "picture_box.h"
#include "slot_operations.h"
#include "slot_table.h"

namespace hideaway {

namespace {

/// Shows a status write at once, before the library call that follows; a write that changes
/// nothing costs no paint. A text box shows the start of its text, as a classic one does.
template <typename Widget>
void showText(Widget* widget, const QString& text) {
    if (widget->text() != text) {
        widget->setText(text);
        if constexpr (std::is_same_v<Widget, QLineEdit>) {
            widget->setCursorPosition(0);
        }
        widget->repaint();
    }
}

/// Input a user gives the program's windows; none of it may act in the middle of an operation.
bool isUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::InputMethod:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TouchCancel:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            return true;
        default:
            return false;
    }
}

const Qt::Alignment kLabelCentred = Qt::AlignHCenter | Qt::AlignTop;

void setColours(QWidget* widget, QPalette::ColorRole backRole, QColor back,
                QPalette::ColorRole textRole, QColor text) {
    QPalette palette = widget->palette();
    if (back.isValid()) {
        palette.setColor(backRole, back);
    }
    if (text.isValid()) {
        palette.setColor(textRole, text);
    }
    widget->setPalette(palette);
}

QLineEdit* addTextBox(QWidget* parent, const QString& name, const QRect& geometry,
                      const QString& text) {
    auto* box = new QLineEdit(text, parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    return box;
}

/// A byte count box: bold, centred, yellow digits on teal.
QLineEdit* addCountBox(QWidget* parent, const QString& name, const QRect& geometry) {
    QLineEdit* box = addTextBox(parent, name, geometry, QStringLiteral("0"));
    box->setAlignment(Qt::AlignCenter);
    box->setFont(sansSerifFont(8.25, true));
    setColours(box, QPalette::Base, QColor(0x00, 0x80, 0x80), QPalette::Text,
               QColor(0xFF, 0xFF, 0x00));
    return box;
}

/// A label; an invalid background colour leaves it transparent over the window's picture.
QLabel* addLabel(QWidget* parent, const QString& name, const QRect& geometry, const QString& text,
                 const QFont& font, QColor back, QColor textColour) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(geometry);
    label->setFont(font);
    label->setAlignment(kLabelCentred);
    // Classic labels break their text at blanks when it is wider than the box.
    label->setWordWrap(true);
    if (back.isValid()) {
        label->setAutoFillBackground(true);
    }
    setColours(label, QPalette::Window, back, QPalette::WindowText, textColour);
    return label;
}

QPushButton* addButton(QWidget* parent, const QString& name, const QRect& geometry,
                       const QString& text, const QFont& font) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setFont(font);
    button->setAutoDefault(false);
    return button;
}

}  // namespace

QString untrappedErrorText(int number, const QString& description) {
    return QStringLiteral("Run-time error '%1':\n\n%2").arg(number).arg(description);
}

FormMain::FormMain(GbpLibrary& library, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      m_library(library),
      m_transferLibrary(library),
      m_comDlg(new ComDlg(this)),
      m_background(QPixmap::fromImage(loadPicture(kBackgroundPicture))),
      m_presenter([this](const QString& text) { showAppMessage(this, text); }),
      m_quit([] { QCoreApplication::exit(0); }) {
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(kStartCaption);
    // From a pixmap, not a file name: a file name has Qt look through its icon-engine plugins.
    setWindowIcon(QIcon(QPixmap::fromImage(loadPicture(kIconPicture))));
    setFont(sansSerifFont());
    setFixedSize(kFormMainSize);

    // A new text box lays out its text in the application's font before it takes the window's,
    // which would load the desktop's default face at start only to drop it. The dialogs keep
    // the desktop's face: the window's is the default only while the controls are built.
    const QFont desktopFont = QApplication::font();
    QApplication::setFont(font());
    for (std::size_t i = 0; i < kSlotTable.size(); ++i) {
        buildSlotRow(kSlotTable[i], kRowLayout[i]);
    }
    buildStatusArea();
    QApplication::setFont(desktopFont);
    arrangeTabOrder();
    m_com[0]->setFocus();
}

FormMain::~FormMain() {
    if (m_waitCursor) {
        QApplication::restoreOverrideCursor();
    }
    delete m_splash.data();
}

void FormMain::buildSlotRow(const SlotRow& slot, const RowLayout& layout) {
    const int n = slot.number;
    SlotControls& controls = m_rows.at(static_cast<std::size_t>(n - 1));

    controls.name = addTextBox(this, QLatin1String(slot.nameBox),
                               rowRect(kNameBoxColumn, layout.nameTop), QString());
    controls.name->setAccessibleName(QStringLiteral("Slot %1 file").arg(n));
    setColours(controls.name, QPalette::Base, QColor::fromRgb(layout.nameBack), QPalette::Text,
               QColor());

    addLabel(this, QLatin1String(slot.labelName), rowRect(kSlotLabelColumn, layout.nameTop),
             QLatin1String(slot.labelCaption), impactFont(9.75), QColor::fromRgb(layout.labelBack),
             QColor::fromRgb(layout.labelText));

    controls.bar = new QProgressBar(this);
    controls.bar->setObjectName(QLatin1String(slot.progressBar));
    controls.bar->setGeometry(rowRect(kBarColumn, layout.fillTop));
    controls.bar->setRange(0, SlotCapacity);
    controls.bar->setValue(0);
    controls.bar->setTextVisible(false);
    controls.bar->setAccessibleName(QStringLiteral("Slot %1 fill").arg(n));

    controls.bytes =
        addCountBox(this, QLatin1String(slot.bytesBox), rowRect(kBytesBoxColumn, layout.fillTop));
    controls.bytes->setAccessibleName(QStringLiteral("Slot %1 bytes").arg(n));

    const QFont buttonFont = impactFont(8.25);
    QPushButton* down = addButton(this, QLatin1String(slot.buttonDown),
                                  rowRect(kButtonDownColumn, layout.buttonTop),
                                  QStringLiteral("DOWNLOAD"), buttonFont);
    QPushButton* up =
        addButton(this, QLatin1String(slot.buttonUp), rowRect(kButtonUpColumn, layout.buttonTop),
                  QStringLiteral("UPLOAD"), buttonFont);
    QPushButton* clear = addButton(this, QLatin1String(slot.buttonClear),
                                   rowRect(kButtonClearColumn, layout.buttonTop),
                                   QStringLiteral("CLEAR"), buttonFont);
    // The five rows' buttons read alike; their spoken names tell the rows apart.
    down->setAccessibleName(QStringLiteral("Download slot %1").arg(n));
    up->setAccessibleName(QStringLiteral("Upload slot %1").arg(n));
    clear->setAccessibleName(QStringLiteral("Clear slot %1").arg(n));

    connect(down, &QPushButton::clicked, this, [this, &slot, bar = controls.bar] {
        runHandler({Activity::Kind::Download, slot.number}, [this, &slot, bar] {
            const BusyBarLibrary::Watch busy(m_transferLibrary, bar);
            DownloadSlot(slot, *this, m_transferLibrary, *m_comDlg);
        });
    });
    connect(up, &QPushButton::clicked, this, [this, &slot, bar = controls.bar] {
        runHandler({Activity::Kind::Upload, slot.number}, [this, &slot, bar] {
            const BusyBarLibrary::Watch busy(m_transferLibrary, bar);
            UploadSlot(slot, *this, m_transferLibrary, *m_comDlg);
        });
    });
    connect(clear, &QPushButton::clicked, this, [this, &slot] {
        runHandler({Activity::Kind::Clear, slot.number},
                   [this, &slot] { ClearSlot(slot, *this, m_library); });
    });
}

void FormMain::buildStatusArea() {
    m_status = addTextBox(this, QStringLiteral("Status"), twipsRect(480, 120, 2535, 780),
                          QStringLiteral("OFFLINE"));
    m_status->setAlignment(Qt::AlignCenter);
    m_status->setFont(impactFont(26.25));
    m_status->setAccessibleName(QStringLiteral("Status"));
    setColours(m_status, QPalette::Base, QColor(0x80, 0x80, 0xFF), QPalette::Text,
               QColor(0x00, 0xFF, 0xFF));

    const QFont commandFont = impactFont(11.25);
    QPushButton* quit = addButton(this, QStringLiteral("Command1"), twipsRect(4920, 240, 2295, 405),
                                  QStringLiteral("Disconnect + Quit"), commandFont);
    QPushButton* check =
        addButton(this, QStringLiteral("CheckButton"), twipsRect(4920, 720, 1095, 285),
                  QStringLiteral("Check"), commandFont);
    QPushButton* info = addButton(this, QStringLiteral("Command2"), twipsRect(6240, 720, 975, 285),
                                  QStringLiteral("Info"), commandFont);

    m_quitButton = quit;
    connect(quit, &QPushButton::clicked, this, [this] {
        if (m_leave.mayLeave(LeaveGuard::Quit::Disconnect)) {
            disconnectAndQuit();
        }
    });
    connect(check, &QPushButton::clicked, this, [this] {
        runHandler({Activity::Kind::Check}, [this] {
            // A slot the library failed to measure shows as empty, so the failure is said apart;
            // a link that did not open has said so already.
            if (CheckSlots(*this, m_library).failure == SlotOutcome::Failure::NotMeasured) {
                setStatus(QStringLiteral("ERROR"));
                setLcdStatus(QStringLiteral("Error!"));
                showMessage(
                    QStringLiteral("Not every slot could be measured: a slot shown as "
                                   "empty may still hold a file. Press Check again."));
            }
        });
    });
    connect(info, &QPushButton::clicked, this, [this] { runHandler({}, [this] { showAbout(); }); });

    // The option buttons draw their captions in the desktop's highlight-text colour.
    const QColor captionColour = palette().color(QPalette::HighlightedText);
    const std::array<QColor, 5> comBackgrounds = {
        QColor(0xC0, 0xC0, 0xFF), QColor(0x80, 0x80, 0xFF), QColor(0x00, 0x00, 0xFF),
        QColor(0x00, 0x00, 0xC0), QColor(0x00, 0x00, 0x80)};
    for (int i = 0; i < 5; ++i) {
        const QString name = QStringLiteral("Com%1").arg(i + 1);
        auto* com = new QRadioButton(name, this);
        com->setObjectName(name);
        com->setGeometry(twipsRect(6240, 1080 + 240 * i, 975, 255));
        // Buttons fill with the Button role; styles draw the caption in either text role.
        com->setAutoFillBackground(true);
        const QColor back = comBackgrounds.at(static_cast<std::size_t>(i));
        setColours(com, QPalette::Button, back, QPalette::WindowText, captionColour);
        setColours(com, QPalette::Window, back, QPalette::ButtonText, captionColour);
        m_com.at(static_cast<std::size_t>(i)) = com;
    }
    m_com[0]->setChecked(true);

    addLabel(this, QStringLiteral("Label8"), twipsRect(4560, 1200, 1455, 255),
             QStringLiteral("Total Hidden Bytes"), impactFont(8.25), QColor(0x00, 0xC0, 0xC0),
             QColor(0xFF, 0x00, 0x00));
    m_totalHidden =
        addCountBox(this, QStringLiteral("TotalHidden"), twipsRect(4560, 1560, 1455, 285));
    m_totalHidden->setAccessibleName(QStringLiteral("Total hidden bytes"));

    auto* phone = new PictureBox(QPixmap::fromImage(loadPicture(kPhoneFacePicture)), this);
    phone->setObjectName(QStringLiteral("J7"));
    phone->setGeometry(twipsRect(4440, 2880, 2895, 2895));
    phone->setAccessibleName(QStringLiteral("Phone display"));
    m_lcdStatus = addLabel(phone, QStringLiteral("LCDStatus"), twipsRect(840, 1920, 1215, 375),
                           QString(), arialFont(9.75, true), QColor(), QColor(0x40, 0x40, 0x40));

    addLabel(this, QStringLiteral("Label3"), twipsRect(4440, 2400, 2895, 255),
             QStringLiteral("J7 Club - j7club.example"), impactFont(11.25), QColor(),
             QColor(0xFF, 0xFF, 0x00));
    addLabel(this, QStringLiteral("Label4"), twipsRect(4320, 5880, 3135, 375),
             QStringLiteral("(c) 2026 Corvane"), impactFont(9.75), QColor(),
             QColor(0x00, 0xFF, 0xFF));
    addLabel(this, QStringLiteral("Greets"), twipsRect(3600, 6120, 3855, 375),
             QStringLiteral("Thanks to Mira, Tobias, Ines and Karel"), impactFont(9.75), QColor(),
             QColor());
}

void FormMain::arrangeTabOrder() {
    // Tab visits only the selected option button; Qt skips the others of the group itself.
    static const char* const kTabOrder[] = {
        "Com1",        "Com2",         "Com3",         "Com4",         "Com5",
        "ButtonDown1", "ButtonUp1",    "ButtonDown2",  "ButtonUp2",    "Status",
        "TextSlot1",   "TextSlot2",    "ButtonClear1", "ButtonClear2", "Command1",
        "J7",          "Slot1Bytes",   "Slot2Bytes",   "Command2",     "CheckButton",
        "Slot3Bytes",  "ButtonClear4", "ButtonClear3", "TextSlot4",    "TextSlot3",
        "ButtonUp4",   "ButtonDown4",  "ButtonUp3",    "ButtonDown3",  "Slot4Bytes",
        "TextSlot5",   "ButtonClear5", "ButtonUp5",    "ButtonDown5",  "Slot5Bytes",
        "TotalHidden",
    };
    QWidget* previous = nullptr;
    for (const char* name : kTabOrder) {
        auto* widget = findChild<QWidget*>(QLatin1String(name));
        Q_ASSERT(widget != nullptr);
        if (previous != nullptr) {
            setTabOrder(previous, widget);
        }
        previous = widget;
    }
}

void FormMain::setMessagePresenter(std::function<void(const QString&)> presenter) {
    m_presenter = std::move(presenter);
}

void FormMain::setQuitHandler(std::function<void()> handler) {
    m_quit = std::move(handler);
}

bool FormMain::runHandler(const Activity& activity, const std::function<void()>& handler) {
    if (m_running) {
        // Reached only without an input event (an accessibility press calls click() directly):
        // one operation at a time, so the request is dropped like any other input meanwhile.
        return false;
    }
    m_running = true;
    m_leave.operationStarted(activity);
    // The library's calls keep the event loop running; input must not act while they do.
    qApp->installEventFilter(this);
    try {
        handler();
    } catch (const AppError& error) {
        m_presenter(untrappedErrorText(error.number(), error.description()));
    } catch (const std::exception& error) {
        // Not one of the tool's own errors, so it has no number; the window must survive it.
        m_presenter(QStringLiteral("Run-time error:\n\n") + QString::fromLocal8Bit(error.what()));
    }
    qApp->removeEventFilter(this);
    m_running = false;
    const LeaveGuard::Quit request = m_leave.operationEnded();
    updateWaitCursor();
    // A request to quit made meanwhile is carried out now, as if it came after the operation.
    switch (request) {
        case LeaveGuard::Quit::None:
            break;
        case LeaveGuard::Quit::Close:
            close();
            break;
        case LeaveGuard::Quit::Disconnect:
            disconnectAndQuit();
            break;
    }
    return true;
}

void FormMain::disconnectAndQuit() {
    // An error from EndGBPMode is reported, and the program ends all the same.
    const bool ran = runHandler({Activity::Kind::Disconnect}, [this] { m_library.EndGBPMode(); });
    if (ran) {
        m_quit();
    }
}

void FormMain::setCallUnderWay(const LibraryCall* call) {
    if (call != nullptr) {
        m_leave.callBegan(*call);
    } else {
        m_leave.callReturned();
    }
}

void FormMain::noteFact(int, SlotFact fact) {
    m_leave.noteFact(fact);
}

void FormMain::setLinkOpen(bool open) {
    m_linkOpen = open;
    updateWaitCursor();
}

void FormMain::updateWaitCursor() {
    const bool wanted = m_running && m_linkOpen && !m_blocked;
    if (wanted == m_waitCursor) {
        return;
    }
    m_waitCursor = wanted;
    if (wanted) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

bool FormMain::event(QEvent* event) {
    // A modal dialog or message box of the operation blocks this window; it shows its own
    // cursors, so the wait cursor steps aside while it is up.
    if (event->type() == QEvent::WindowBlocked || event->type() == QEvent::WindowUnblocked) {
        m_blocked = event->type() == QEvent::WindowBlocked;
        updateWaitCursor();
    }
    return QWidget::event(event);
}

void FormMain::closeEvent(QCloseEvent* event) {
    if (!m_leave.mayLeave(LeaveGuard::Quit::Close)) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

bool FormMain::eventFilter(QObject* watched, QEvent* event) {
    // Dropped, not deferred: deferred input would reach the next message box of the operation.
    // The operation's own modal dialogs take input; Qt keeps it from the windows they block.
    if (m_running && isUserInput(event->type()) && QApplication::activeModalWidget() == nullptr &&
        !isQuitButtonInput(watched, event)) {
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool FormMain::isQuitButtonInput(QObject* watched, QEvent* event) const {
    if (watched == m_quitButton) {
        return true;
    }
    // The window receives the input first and hands it on to the widget it is meant for.
    if (watched != windowHandle()) {
        return false;
    }
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            return m_quitButton->isDown() ||
                   childAt(static_cast<QMouseEvent*>(event)->position().toPoint()) == m_quitButton;
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
            return focusWidget() == m_quitButton;
        default:
            return false;
    }
}

void FormMain::showAbout() {
    if (m_splash.isNull()) {
        m_splash = new FrmSplash(screen());
    }
    m_splash->show();
    m_splash->raise();
    m_splash->activateWindow();
}

const FormMain::SlotControls& FormMain::row(int slot) const {
    Q_ASSERT(slot >= 1 && slot <= kSlotCount);
    return m_rows.at(static_cast<std::size_t>(slot - 1));
}

void FormMain::setCaption(const QString& text) {
    setWindowTitle(text);
}

void FormMain::setStatus(const QString& text) {
    showText(m_status, text);
}

void FormMain::setLcdStatus(const QString& text) {
    showText(m_lcdStatus, text);
}

bool FormMain::isComSelected(int port) const {
    return port >= 1 && port <= 5 && m_com.at(static_cast<std::size_t>(port - 1))->isChecked();
}

void FormMain::showMessage(const QString& text) {
    m_presenter(text);
}

void FormMain::setSlotName(int slot, const QString& text) {
    showText(row(slot).name, text);
}

void FormMain::setSlotBytes(int slot, const QString& text) {
    showText(row(slot).bytes, text);
}

QString FormMain::slotBytes(int slot) const {
    return row(slot).bytes->text();
}

void FormMain::setSlotProgress(int slot, float value) {
    // Qt ignores a value outside the range and would keep showing the old one.
    QProgressBar* bar = row(slot).bar;
    const int shown = std::clamp(qRound(value), 0, static_cast<int>(SlotCapacity));
    if (bar->value() != shown) {
        bar->setValue(shown);
        bar->repaint();
    }
}

void FormMain::setTotalHidden(const QString& text) {
    showText(m_totalHidden, text);
}

void FormMain::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    // The picture is larger than the window; its right and bottom edges are cut off.
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_background);
}

}  // namespace hideaway
