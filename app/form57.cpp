#include "app/form57.h"

#include "app/appicon.h"
#include "app/appinfo.h"
#include "app/elevation.h"
#include "core/gamefolder.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFont>
#include <QGroupBox>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QMessageBox>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QSessionManager>
#include <QShortcut>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

namespace tolvane {

namespace {

const QColor kGrey(192, 192, 192);
const QColor kSkyBlue(22, 194, 231);
const QColor kBlue(0, 0, 255);
const QColor kPaleYellow(255, 255, 192);

// The window's layout is given in twips; at 96 dpi fifteen of them make a pixel.
constexpr int px(int twips) {
    return twips / 15;
}

constexpr int kWindowWidth = 6165; // twips
constexpr int kWindowHeight = 5220;

// How each control looks and where it stands in its parent, in twips as the window was
// first laid out.
struct ControlLook {
    const char* name;   // the object name
    const char* family; // of the font; nullptr keeps the window's
    qreal points;
    bool bold;
    int left;
    int top;
    int width; // 0 for a label that sizes itself to its text: it is only placed
    int height;
};

// clang-format off
constexpr ControlLook kControlLooks[] = {
    // name                 family     points bold   left   top  width height
    {"frmImport",           "Verdana", 12,    true,   120,  120, 5895, 3735},
    {"lblheading7",         "Verdana", 12,    true,     0,  480, 5700,  270},
    {"cmbTeamlist2",        "Verdana", 9.75,  true,   120,  960, 2055,  360},
    {"lblheading5",         "Arial",   9.75,  false,  120, 1440,  780,  240},
    {"lblimportname",       "Arial",   9.75,  false,  960, 1440,    0,    0},
    {"lblheading6",         "Arial",   9.75,  false,  600, 1680,  270,  240},
    {"lblImportFileName",   "Arial",   8.25,  false,  960, 1695,    0,    0},
    {"cmdImport",           "Arial",   14.25, true,  2280, 3000, 1575,  555},
    {"lblMsg",              "Arial",   9,     false,  120, 3960, 5895, 1095},
    {"frmprogress",         nullptr,   0,     false, 1920, 2400, 2895,  735},
    {"ProgressBar1",        nullptr,   0,     false,  240,  240, 2415,  375},
};
// clang-format on

const ControlLook& lookOf(const char* name) {
    const auto* look =
        std::find_if(std::begin(kControlLooks), std::end(kControlLooks),
                     [name](const ControlLook& l) { return qstrcmp(l.name, name) == 0; });
    Q_ASSERT(look != std::end(kControlLooks));
    return *look;
}

// Names widget, and gives it the font and the place of its row in the table.
template <class Widget> Widget* styled(Widget* widget, const char* name) {
    const ControlLook& look = lookOf(name);
    widget->setObjectName(QLatin1String(name));
    if (look.family) {
        QFont font{QLatin1String(look.family)};
        font.setPointSizeF(look.points);
        font.setBold(look.bold);
        widget->setFont(font);
    }
    if (look.width == 0)
        widget->move(px(look.left), px(look.top));
    else
        widget->setGeometry(px(look.left), px(look.top), px(look.width), px(look.height));
    return widget;
}

void setColours(QWidget* widget, const QColor& background, const QColor& text) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, text);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// Buttons and drop-down lists draw their face, text and list from other palette roles.
void setFaceColours(QWidget* widget, const QColor& face, const QColor& text) {
    QPalette palette = widget->palette();
    for (const auto role : {QPalette::Base, QPalette::Button})
        palette.setColor(role, face);
    for (const auto role : {QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, text);
    widget->setPalette(palette);
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text) {
    auto* label = styled(new QLabel(text, parent), name);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QLabel* makeAboutText(QWidget* parent) {
    auto* about = makeLabel(
        parent, "lblMsg",
        QStringLiteral("This Patch will add in the 2009 lists as well as the 2009 Schedule for use "
                       "in the 2008 version of Tolvane Rally QZ. To use, make sure all files have "
                       "been unzipped to the folder of where you installed the game and click "
                       "Update."));
    about->setWordWrap(true);
    setColours(about, Qt::white, Qt::black);
    return about;
}

QMessageBox::Icon boxIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

const QString& Form57::appTitle() {
    static const QString title = QStringLiteral(TOLVANE_PRODUCT_NAME);
    return title;
}

Form57::Form57(const GameFolder& game, QWidget* parent)
    : QWidget(parent)
    , m_run(game, *this) {
    buildControls();
#if QT_CONFIG(sessionmanager)
    connect(qApp, &QGuiApplication::commitDataRequest, this, &Form57::askedToEndSession);
#endif

    // The window opens with the patch's slot chosen, as if the user had picked it.
    m_slotList->setCurrentText(gamepaths::kDefaultSlot);
    selectChosenSlot();
}

Form57::~Form57() {
    if (!m_worker)
        return;
    // The application's event loop has ended while a run was under way (a quit that could
    // not be refused). The run still asks this thread to show its messages and its
    // progress: it is served until it ends, so that it neither waits for ever nor stops
    // half-way. A question it asks now goes unanswered, which counts as Cancel.
    while (!m_worker->wait(QDeadlineTimer(20)))
        QCoreApplication::processEvents();
    qApp->removeEventFilter(this);
}

void Form57::buildControls() {
    setObjectName(QStringLiteral("Form57"));
    setWindowTitle(appTitle());
    setWindowIcon(appIcon());
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(px(kWindowWidth), px(kWindowHeight));
    setColours(this, kGrey, Qt::black);

    auto* importFrame = styled(new QGroupBox(QStringLiteral("2009 Patch"), this), "frmImport");
    setColours(importFrame, Qt::white, Qt::black);
    buildSlotControls(importFrame);
    QPushButton* updateButton = buildUpdateButton(importFrame);
    makeAboutText(this);
    // Built after the import frame, so that it lies above it.
    buildProgressFrame();
    takeKeyboard(updateButton);
}

void Form57::buildSlotControls(QWidget* importFrame) {
    auto* slotHeading =
        makeLabel(importFrame, "lblheading7", QStringLiteral("Roster Slot to Import to"));
    setColours(slotHeading, kBlue, Qt::white);

    m_slotList = new QComboBox(importFrame);
    m_slotList->setEditable(false);
    m_slotList->addItem(gamepaths::kDefaultSlot);
    styled(m_slotList, "cmbTeamlist2");
    setFaceColours(m_slotList, kSkyBlue, Qt::black);
    // activated, unlike currentIndexChanged, also fires when the same entry is picked again.
    connect(m_slotList, &QComboBox::activated, this, [this] { selectChosenSlot(); });

    m_creatingLabel = makeLabel(importFrame, "lblheading5", QStringLiteral("Creating:"));
    m_creatingLabel->hide();
    m_slotNameLabel = makeLabel(importFrame, "lblimportname", QString());
    m_toLabel = makeLabel(importFrame, "lblheading6", QStringLiteral("To:"));
    m_toLabel->hide();
    m_databasePathLabel = makeLabel(importFrame, "lblImportFileName", QString());
}

QPushButton* Form57::buildUpdateButton(QWidget* importFrame) {
    auto* button = styled(new QPushButton(QStringLiteral("Update"), importFrame), "cmdImport");
    button->setAutoDefault(false);
    setFaceColours(button, kSkyBlue, Qt::black);
    connect(button, &QPushButton::clicked, this, [this] { runUpdate(); });
    return button;
}

void Form57::buildProgressFrame() {
    m_progressFrame = styled(new QGroupBox(QStringLiteral("Please Wait..."), this), "frmprogress");
    setColours(m_progressFrame, kPaleYellow, Qt::black);
    m_progressFrame->hide();

    m_progressBar = styled(new QProgressBar(m_progressFrame), "ProgressBar1");
    m_progressBar->setRange(0, 100);
    m_progressBar->setValue(0);
    m_progressBar->setTextVisible(false);
}

void Form57::takeKeyboard(QPushButton* updateButton) {
    // Only the button and the slot list take the keyboard, the button first.
    for (QWidget* child : findChildren<QWidget*>())
        child->setFocusPolicy(Qt::NoFocus);
    updateButton->setFocusPolicy(Qt::StrongFocus);
    m_slotList->setFocusPolicy(Qt::StrongFocus);
    setTabOrder(updateButton, m_slotList);
    updateButton->setFocus();

    // Without a window manager (or a close button) the keyboard still closes the window.
    // Ctrl+Q on every platform: Windows has no standard Quit key.
    auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    connect(quit, &QShortcut::activated, this, &QWidget::close);
}

void Form57::selectChosenSlot() {
    const bool found = m_run.selectSlot(m_slotList->currentText());
    m_creatingLabel->show();
    m_toLabel->show();
    m_slotNameLabel->setText(m_run.slotName());
    m_slotNameLabel->adjustSize();
    m_slotNameLabel->show();
    m_databasePathLabel->setText(QDir::toNativeSeparators(m_run.game().seasonDatabase()));
    m_databasePathLabel->adjustSize();
    m_databasePathLabel->show();
    if (!found) {
        message(QStringLiteral("Please unzip the file first or you will get an error"),
                {MessageIcon::Warning}, QStringLiteral("Unzip Error"));
    }
}

void Form57::runUpdate() {
    if (m_worker)
        return;
    // Held back while the run works: a click or key meant for the window is dropped, not
    // kept for later, so that nothing reaches it when the run is over.
    qApp->installEventFilter(this);
    m_worker.reset(QThread::create([this] { m_run.run(); }));
    // The run's own stack, whatever the platform gives a new thread by default.
    m_worker->setStackSize(8 * 1024 * 1024);
    connect(m_worker.get(), &QThread::finished, this, &Form57::finishRun, Qt::QueuedConnection);
    m_worker->start();
}

void Form57::finishRun() {
    if (!m_worker)
        return;
    m_worker->wait();
    m_worker.reset();
    qApp->removeEventFilter(this);
    emit runEnded();
    if (std::exchange(m_closeWhenDone, false))
        close();
    if (std::exchange(m_quitWhenDone, false))
        QCoreApplication::quit();
}

void Form57::askedToEndSession([[maybe_unused]] QSessionManager& manager) {
#if QT_CONFIG(sessionmanager)
    // The system asks before it logs off or shuts down: a run stopped half-way leaves work
    // for the next start to settle and the player without the roster he asked for, so it
    // asks the system to wait.
    if (m_worker)
        manager.cancel();
#endif
}

bool Form57::eventFilter(QObject* target, QEvent* event) {
    switch (event->type()) {
    case QEvent::Quit:
        // Asked to quit during the run: the application quits once the run has ended.
        if (target == qApp) {
            m_quitWhenDone = true;
            return true;
        }
        return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::Drop: {
        // Only this window's input: the run's message boxes are windows of their own.
        auto* widget = qobject_cast<QWidget*>(target);
        return widget && (widget == this || isAncestorOf(widget));
    }
    default:
        return false;
    }
}

void Form57::closeEvent(QCloseEvent* event) {
    // A run stopped half-way leaves work for the next start to settle.
    if (m_worker) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

template <class Work> auto Form57::onWindowThread(Work work) -> std::optional<decltype(work())> {
    if (QThread::currentThread() == thread())
        return work();
    std::optional<decltype(work())> result;
    if (!QMetaObject::invokeMethod(
            this, [&] { result = work(); }, Qt::BlockingQueuedConnection))
        return std::nullopt;
    return result;
}

RunUi::Answer Form57::message(const QString& text, MessageStyle style, const QString& title) {
    const std::optional<Answer> answer = onWindowThread([&] {
        QMessageBox::StandardButtons buttons = QMessageBox::Ok;
        if (style.buttons == MessageButtons::OkCancel)
            buttons = QMessageBox::Ok | QMessageBox::Cancel;
        else if (style.buttons == MessageButtons::YesNo)
            buttons = QMessageBox::Yes | QMessageBox::No;
        QMessageBox box(boxIcon(style.icon), title.isEmpty() ? appTitle() : title, text, buttons,
                        this);
        box.setDefaultButton(style.buttons == MessageButtons::YesNo ? QMessageBox::Yes
                                                                    : QMessageBox::Ok);
        // A box closed any other way than by one of its buttons (its loop ended by a quit,
        // the Escape key) gives no consent.
        switch (box.exec()) {
        case QMessageBox::Ok:
            return RunUi::Ok;
        case QMessageBox::Yes:
            return RunUi::Yes;
        case QMessageBox::No:
            return RunUi::No;
        default:
            return RunUi::Cancel;
        }
    });
    return answer.value_or(RunUi::Cancel);
}

void Form57::setProgressVisible(bool visible) {
    onWindowThread([&] {
        m_progressFrame->setVisible(visible);
        if (visible)
            m_progressFrame->raise();
        return true;
    });
}

void Form57::setProgress(float value) {
    // Only a new position of the bar reaches the window, and after everything the run
    // sent before it.
    const int position = static_cast<int>(std::lround(std::clamp(value, 0.0F, 100.0F)));
    if (m_shownProgress.exchange(position) == position)
        return;
    QMetaObject::invokeMethod(
        m_progressBar, [bar = m_progressBar, position] { bar->setValue(position); },
        Qt::AutoConnection);
}

bool Form57::canRestartAsAdministrator() const {
    return elevation::canRestartElevated();
}

void Form57::restartAsAdministrator() {
    onWindowThread([this] {
        // The same program folder and options; the run that asked ends first.
        if (elevation::restartElevated(QCoreApplication::arguments().mid(1)))
            m_closeWhenDone = true;
        return true;
    });
}

void Form57::processEvents(std::chrono::nanoseconds timeLeft) {
    // The run's wait for the window to paint: beside the window's own thread there is
    // nothing to hand over, only time to let pass.
    if (QThread::currentThread() == thread())
        QCoreApplication::processEvents();
    else
        QThread::usleep(static_cast<unsigned long>(
            std::chrono::duration_cast<std::chrono::microseconds>(timeLeft).count()));
}

} // namespace tolvane
