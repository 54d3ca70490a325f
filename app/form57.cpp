#include "app/form57.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <QGroupBox>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>

#include <algorithm>
#include <cmath>

namespace {

const QColor kGrey(192, 192, 192);
const QColor kSkyBlue(22, 194, 231);
const QColor kBlue(0, 0, 255);
const QColor kPaleYellow(255, 255, 192);

// The window's layout is given in twips; at 96 dpi fifteen of them make a pixel.
constexpr int px(int twips) {
    return twips / 15;
}

QRect twipsRect(int left, int top, int width, int height) {
    return {px(left), px(top), px(width), px(height)};
}

QFont makeFont(const QString& family, qreal pointSize, bool bold = false) {
    QFont font(family);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
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

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, const QFont& font) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(font);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

// A football on a sky-blue tile: small enough to read in a title bar, in a handful of
// plain colours.
QIcon makeIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(kSkyBlue);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(QColor(128, 64, 0));
    painter.drawEllipse(QRectF(3.5, 8.5, 25, 15));
    painter.setPen(QPen(Qt::white, 2));
    painter.drawLine(QPointF(11, 16), QPointF(21, 16));
    for (int x = 12; x <= 20; x += 4)
        painter.drawLine(QPointF(x, 13.5), QPointF(x, 18.5));
    painter.end();
    return QIcon(pixmap);
}

// The message styles of the game's tools: the low digit picks the buttons, the sixteens
// the icon.
struct IconStyle {
    int style;
    QMessageBox::Icon icon;
};
constexpr IconStyle kIconStyles[] = {
    {16, QMessageBox::Critical},
    {32, QMessageBox::Question},
    {48, QMessageBox::Warning},
    {64, QMessageBox::Information},
};
constexpr int kOkCancel = 1;

QMessageBox::Icon iconForStyle(int style) {
    const auto* it = std::find_if(std::begin(kIconStyles), std::end(kIconStyles),
                                  [&](const IconStyle& s) { return s.style == (style & 0xF0); });
    return it == std::end(kIconStyles) ? QMessageBox::NoIcon : it->icon;
}

} // namespace

const QString& Form57::appTitle() {
    static const QString title = QStringLiteral("Tolvane Rally 2009 Patch");
    return title;
}

Form57::Form57(const QString& programFolder, QWidget* parent)
    : QWidget(parent)
    , m_run(programFolder, *this) {
    buildControls();

    // Form_Load: picking the slot's entry in code selects it as a click would.
    m_cmbTeamlist2->setCurrentText(QStringLiteral("default2009"));
    cmbTeamlist2_Click();
}

Form57::~Form57() = default;

void Form57::buildControls() {
    setObjectName(QStringLiteral("Form57"));
    setWindowTitle(appTitle());
    setWindowIcon(makeIcon());
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(px(6165), px(5220));
    setColours(this, kGrey, Qt::black);

    m_frmImport = new QGroupBox(QStringLiteral("2009 Patch"), this);
    m_frmImport->setObjectName(QStringLiteral("frmImport"));
    m_frmImport->setFont(makeFont(QStringLiteral("Verdana"), 12, true));
    m_frmImport->setGeometry(twipsRect(120, 120, 5895, 3735));
    setColours(m_frmImport, Qt::white, Qt::black);

    const QFont arial975 = makeFont(QStringLiteral("Arial"), 9.75);

    auto* lblheading7 =
        makeLabel(m_frmImport, "lblheading7", QStringLiteral("Roster Slot to Import to"),
                  makeFont(QStringLiteral("Verdana"), 12, true));
    lblheading7->setGeometry(twipsRect(0, 480, 5700, 270));
    setColours(lblheading7, kBlue, Qt::white);

    m_cmbTeamlist2 = new QComboBox(m_frmImport);
    m_cmbTeamlist2->setObjectName(QStringLiteral("cmbTeamlist2"));
    m_cmbTeamlist2->setEditable(false);
    m_cmbTeamlist2->addItem(QStringLiteral("default2009"));
    m_cmbTeamlist2->setFont(makeFont(QStringLiteral("Verdana"), 9.75, true));
    m_cmbTeamlist2->setGeometry(twipsRect(120, 960, 2055, 360));
    setFaceColours(m_cmbTeamlist2, kSkyBlue, Qt::black);
    // activated, unlike currentIndexChanged, also fires when the same entry is picked again.
    connect(m_cmbTeamlist2, &QComboBox::activated, this, [this] { cmbTeamlist2_Click(); });

    m_lblheading5 = makeLabel(m_frmImport, "lblheading5", QStringLiteral("Creating:"), arial975);
    m_lblheading5->setGeometry(twipsRect(120, 1440, 780, 240));
    m_lblheading5->hide();

    m_lblimportname = makeLabel(m_frmImport, "lblimportname", QString(), arial975);
    m_lblimportname->move(px(960), px(1440));

    m_lblheading6 = makeLabel(m_frmImport, "lblheading6", QStringLiteral("To:"), arial975);
    m_lblheading6->setGeometry(twipsRect(600, 1680, 270, 240));
    m_lblheading6->hide();

    m_lblImportFileName = makeLabel(m_frmImport, "lblImportFileName", QString(),
                                    makeFont(QStringLiteral("Arial"), 8.25));
    m_lblImportFileName->move(px(960), px(1695));

    m_cmdImport = new QPushButton(QStringLiteral("Update"), m_frmImport);
    m_cmdImport->setObjectName(QStringLiteral("cmdImport"));
    m_cmdImport->setFont(makeFont(QStringLiteral("Arial"), 14.25, true));
    m_cmdImport->setGeometry(twipsRect(2280, 3000, 1575, 555));
    m_cmdImport->setAutoDefault(false);
    setFaceColours(m_cmdImport, kSkyBlue, Qt::black);
    connect(m_cmdImport, &QPushButton::clicked, this, [this] { cmdImport_Click(); });

    auto* lblMsg = makeLabel(
        this, "lblMsg",
        QStringLiteral("This Patch will add in the 2009 lists as well as the 2009 Schedule for use "
                       "in the 2008 version of Tolvane Rally QZ. To use, make sure all files have "
                       "been unzipped to the folder of where you installed the game and click "
                       "Update."),
        makeFont(QStringLiteral("Arial"), 9));
    lblMsg->setWordWrap(true);
    lblMsg->setGeometry(twipsRect(120, 3960, 5895, 1095));
    setColours(lblMsg, Qt::white, Qt::black);

    // Created after frmImport, so it lies above it.
    m_frmprogress = new QGroupBox(QStringLiteral("Please Wait..."), this);
    m_frmprogress->setObjectName(QStringLiteral("frmprogress"));
    m_frmprogress->setGeometry(twipsRect(1920, 2400, 2895, 735));
    setColours(m_frmprogress, kPaleYellow, Qt::black);
    m_frmprogress->hide();

    m_progressBar1 = new QProgressBar(m_frmprogress);
    m_progressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar1->setRange(0, 100);
    m_progressBar1->setValue(0);
    m_progressBar1->setTextVisible(false);
    m_progressBar1->setGeometry(twipsRect(240, 240, 2415, 375));

    // Only the button and the slot list take the keyboard, the button first.
    for (QWidget* child : findChildren<QWidget*>())
        child->setFocusPolicy(Qt::NoFocus);
    m_cmdImport->setFocusPolicy(Qt::StrongFocus);
    m_cmbTeamlist2->setFocusPolicy(Qt::StrongFocus);
    setTabOrder(m_cmdImport, m_cmbTeamlist2);
    m_cmdImport->setFocus();

    // Without a window manager (or a close button) the keyboard still closes the window.
    // Ctrl+Q on every platform: Windows has no standard Quit key.
    auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    connect(quit, &QShortcut::activated, this, &QWidget::close);
}

void Form57::cmbTeamlist2_Click() {
    const bool found = m_run.selectSlot(m_cmbTeamlist2->currentText());
    m_lblheading5->show();
    m_lblheading6->show();
    m_lblimportname->setText(m_run.slotName());
    m_lblimportname->adjustSize();
    m_lblimportname->show();
    m_lblImportFileName->setText(QDir::toNativeSeparators(m_run.dbPath()));
    m_lblImportFileName->adjustSize();
    m_lblImportFileName->show();
    if (!found) {
        message(QStringLiteral("Please unzip the file first or you will get an error"),
                RunUi::Exclamation, QStringLiteral("Unzip Error"));
    }
}

void Form57::cmdImport_Click() {
    m_run.run();
}

void Form57::closeEvent(QCloseEvent* event) {
    // A run stopped half-way would leave a slot with some teams converted and others not.
    if (m_run.isRunning()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

int Form57::message(const QString& text, int style, const QString& title) {
    const QMessageBox::StandardButtons buttons =
        (style & 0x0F) == kOkCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok;
    QMessageBox box(iconForStyle(style), title.isEmpty() ? appTitle() : title, text, buttons, this);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Cancel ? RunUi::Cancel : RunUi::Ok;
}

void Form57::setProgressVisible(bool visible) {
    m_frmprogress->setVisible(visible);
    if (visible) {
        m_frmprogress->raise();
        m_frmprogress->repaint();
    }
}

void Form57::setProgress(float value) {
    // The run keeps the UI thread busy between rows, so the bar is drawn at once.
    m_progressBar1->setValue(static_cast<int>(std::lround(std::clamp(value, 0.0F, 100.0F))));
    m_progressBar1->repaint();
}

void Form57::processEvents() {
    QCoreApplication::processEvents();
}

std::int16_t Form57::checktype(std::int16_t anum, std::int16_t aNum2) {
    if (anum == 15)
        return 1;
    if (anum == 45)
        return 2;
    if (anum == 5 && aNum2 == 20)
        return 3;
    if (anum == 55)
        return 4;
    if (anum == 10)
        return 5;
    if (anum == 25)
        return 6;
    if (anum == 5 && aNum2 == 25)
        return 7;
    return 0;
}
