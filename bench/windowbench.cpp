// Times what a user waits for: the patch window on a game folder, from the press of
// "Update" to the first paint of the message that ends the run. The window is the program's
// own; only the hand on the mouse is this harness's, or (with --external-click) a real
// pointer on an X server. Prints the milliseconds and the closing message's text.

#include "app/form57.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyleFactory>
#include <QTimer>

#include <cstdio>
#include <optional>

using namespace tolvane;

namespace {

// Watches every event of the application: the press on the button starts the clock, the
// first paint of a message box stops it, and each box is answered with OK once painted.
class Stopwatch : public QObject {
public:
    explicit Stopwatch(QPushButton* button)
        : m_button(button) {}

    std::optional<double> elapsedMs;
    QString closingText;

protected:
    bool eventFilter(QObject* target, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress && target == m_button && !m_clock.isValid())
            m_clock.start();
        if (event->type() == QEvent::Paint && m_clock.isValid() && !elapsedMs) {
            if (auto* box = qobject_cast<QMessageBox*>(target)) {
                elapsedMs = double(m_clock.nsecsElapsed()) / 1e6;
                closingText = box->text();
                QTimer::singleShot(0, box, [box] { box->button(QMessageBox::Ok)->click(); });
            }
        }
        return false;
    }

private:
    QPushButton* m_button;
    QElapsedTimer m_clock;
};

void click(QPushButton* button) {
    const QPointF centre(button->width() / 2.0, button->height() / 2.0);
    const QPointF global = button->mapToGlobal(centre);
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, centre, global, Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(button, &event);
    }
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(Form57::appTitle());
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    QCommandLineParser parser;
    const QCommandLineOption folderOption(QStringLiteral("program-folder"),
                                          QStringLiteral("The game folder."),
                                          QStringLiteral("folder"));
    const QCommandLineOption externalOption(
        QStringLiteral("external-click"),
        QStringLiteral("Wait for a real click on \"Update\" instead of clicking."));
    parser.addOptions({folderOption, externalOption});
    parser.process(app);

    Form57 window{GameFolder(QDir(parser.value(folderOption)).absolutePath())};
    auto* button = window.findChild<QPushButton*>(QStringLiteral("cmdImport"));
    if (!button) {
        std::fprintf(stderr, "windowbench: the window has no Update button\n");
        return 2;
    }
    Stopwatch stopwatch(button);
    app.installEventFilter(&stopwatch);
    window.show();

    // Once the run has ended, the figure is complete.
    QObject::connect(&window, &Form57::runEnded, &app, &QCoreApplication::quit);
    if (!parser.isSet(externalOption))
        QTimer::singleShot(300, button, [button] { click(button); });
    else
        std::printf("ready\n");
    std::fflush(stdout);
    QApplication::exec();

    if (!stopwatch.elapsedMs) {
        std::fprintf(stderr, "windowbench: no message box appeared\n");
        return 1;
    }
    std::printf("%.1f ms\t%s\n", *stopwatch.elapsedMs,
                qPrintable(stopwatch.closingText.simplified()));
    return stopwatch.closingText == QLatin1String("Import Complete!") ? 0 : 1;
}
