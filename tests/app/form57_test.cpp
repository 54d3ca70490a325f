#include "app/form57.h"
#include "tools/demo/demofolder.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

using namespace tolvane;

namespace {

const QString kUnzipText = QStringLiteral("Please unzip the file first or you will get an error");

// Plays the person at the screen: answers every modal message box (from a queue, OK when it
// is empty) and, while a run is under way and no box is up, calls duringRun.
class Operator : public QObject {
public:
    struct Box {
        QString text;
        QString title;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
    };

    Operator() {
        m_timer.setInterval(0);
        connect(&m_timer, &QTimer::timeout, this, [this] { tick(); });
        m_timer.start();
    }

    std::deque<QMessageBox::StandardButton> answers;
    std::vector<Box> boxes;
    std::function<void()> duringRun;
    Form57* form = nullptr;
    // Closes the next boxes as the system may, without a press of any of their buttons.
    bool closeWithoutAnswer = false;

private:
    void tick() {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            if (!box->isVisible())
                return;
            boxes.push_back({box->text(), box->windowTitle(), box->icon(), box->standardButtons()});
            if (closeWithoutAnswer) {
                box->done(0);
                return;
            }
            QMessageBox::StandardButton answer = QMessageBox::Ok;
            if (!answers.empty()) {
                answer = answers.front();
                answers.pop_front();
            }
            box->button(answer)->click();
        } else if (form && form->isRunning() && duringRun) {
            duringRun();
        }
    }

    QTimer m_timer;
};

// Every file below root, by its relative path, with its bytes.
std::map<QString, QByteArray> filesBelow(const QString& root) {
    std::map<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        files[QDir(root).relativeFilePath(path)] = file.readAll();
    }
    return files;
}

template <typename T> T* control(Form57& form, const char* name) {
    T* widget = form.findChild<T*>(QLatin1String(name));
    if (!widget)
        ADD_FAILURE() << "no control named " << name;
    return widget;
}

class Form57Test : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString folder() const { return m_dir.path(); }
    QString path(const QString& relative) const { return m_dir.filePath(relative); }
    // Slot selection only looks for the file, so any content will do.
    void placeDatabase() const {
        QFile file(path(QStringLiteral("seasonStats.mdb")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    QTemporaryDir m_dir;
    Operator m_operator;
};

TEST_F(Form57Test, ControlsCarryTheirTextsFontsAndPlaces) {
    placeDatabase();
    Form57 form{GameFolder(folder())};
    EXPECT_TRUE(m_operator.boxes.empty());

    EXPECT_EQ(form.windowTitle(), QStringLiteral("Tolvane Rally 2009 Patch"));
    EXPECT_EQ(form.size(), QSize(411, 348));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_EQ(form.windowIcon().pixmap(32, 32).size(), QSize(32, 32));

    const QString dbPath = QDir::toNativeSeparators(path(QStringLiteral("seasonStats.mdb")));
    struct Row {
        const char* name;
        const char* textProperty;
        QString text;
        const char* family;
        qreal points;
        bool bold;
        QRect rect; // autosizing labels: only the position counts
    };
    const Row rows[] = {
        {"frmImport", "title", "2009 Patch", "Verdana", 12, true, {8, 8, 393, 249}},
        {"lblheading7", "text", "Roster Slot to Import to", "Verdana", 12, true, {0, 32, 380, 18}},
        {"cmbTeamlist2", "currentText", "default2009", "Verdana", 9.75, true, {8, 64, 137, 24}},
        {"lblheading5", "text", "Creating:", "Arial", 9.75, false, {8, 96, 52, 16}},
        {"lblimportname", "text", "default2009", "Arial", 9.75, false, {64, 96, 0, 0}},
        {"lblheading6", "text", "To:", "Arial", 9.75, false, {40, 112, 18, 16}},
        {"lblImportFileName", "text", dbPath, "Arial", 8.25, false, {64, 113, 0, 0}},
        {"cmdImport", "text", "Update", "Arial", 14.25, true, {152, 200, 105, 37}},
        {"lblMsg",
         "text",
         "This Patch will add in the 2009 lists as well as the 2009 Schedule for use in the 2008 "
         "version of Tolvane Rally QZ. To use, make sure all files have been unzipped to the "
         "folder of where you installed the game and click Update.",
         "Arial",
         9,
         false,
         {8, 264, 393, 73}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QWidget* widget = control<QWidget>(form, row.name);
        ASSERT_TRUE(widget);
        EXPECT_EQ(widget->property(row.textProperty).toString(), row.text);
        EXPECT_EQ(widget->font().family(), QLatin1String(row.family));
        EXPECT_DOUBLE_EQ(widget->font().pointSizeF(), row.points);
        EXPECT_EQ(widget->font().bold(), row.bold);
        if (row.rect.isEmpty()) {
            EXPECT_EQ(widget->pos(), row.rect.topLeft());
            EXPECT_GE(widget->width(), widget->sizeHint().width()) << "text is cut off";
        } else {
            EXPECT_EQ(widget->geometry(), row.rect);
        }
    }
    EXPECT_TRUE(control<QLabel>(form, "lblMsg")->wordWrap());

    auto* frmprogress = control<QGroupBox>(form, "frmprogress");
    EXPECT_EQ(frmprogress->title(), QStringLiteral("Please Wait..."));
    EXPECT_EQ(frmprogress->geometry(), QRect(128, 160, 193, 49));
    auto* bar = control<QProgressBar>(form, "ProgressBar1");
    EXPECT_EQ(bar->geometry(), QRect(16, 16, 161, 25));
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);

    struct Colour {
        const char* name;
        QPalette::ColorRole role;
        QColor colour;
    };
    const Colour colours[] = {
        {"Form57", QPalette::Window, QColor(192, 192, 192)},
        {"frmImport", QPalette::Window, Qt::white},
        {"lblheading7", QPalette::Window, QColor(0, 0, 255)},
        {"lblheading7", QPalette::WindowText, Qt::white},
        {"cmbTeamlist2", QPalette::Button, QColor(22, 194, 231)},
        {"cmbTeamlist2", QPalette::ButtonText, Qt::black},
        {"cmdImport", QPalette::Button, QColor(22, 194, 231)},
        {"lblMsg", QPalette::Window, Qt::white},
        {"frmprogress", QPalette::Window, QColor(255, 255, 192)},
    };
    for (const Colour& c : colours) {
        SCOPED_TRACE(c.name);
        QWidget* widget =
            c.name == QLatin1String("Form57") ? &form : control<QWidget>(form, c.name);
        ASSERT_TRUE(widget);
        EXPECT_EQ(widget->palette().color(c.role), c.colour);
    }
    EXPECT_EQ(control<QComboBox>(form, "cmbTeamlist2")->count(), 1);
    EXPECT_FALSE(control<QComboBox>(form, "cmbTeamlist2")->isEditable());
}

TEST_F(Form57Test, OpensWithTheSlotShownAndTheProgressFrameHidden) {
    placeDatabase();
    Form57 form{GameFolder(folder())};
    form.show();

    EXPECT_TRUE(control<QGroupBox>(form, "frmprogress")->isHidden());
    EXPECT_EQ(control<QProgressBar>(form, "ProgressBar1")->value(), 0);
    for (const char* name : {"lblheading5", "lblheading6", "lblimportname", "lblImportFileName"})
        EXPECT_TRUE(control<QLabel>(form, name)->isVisible()) << name;
    EXPECT_EQ(form.updateRun().slotName(), QStringLiteral("default2009"));
}

TEST_F(Form57Test, OnlyTheButtonThenTheSlotListTakeTheKeyboard) {
    placeDatabase();
    Form57 form{GameFolder(folder())};
    form.show();
    form.activateWindow();
    QApplication::processEvents();

    auto* button = control<QPushButton>(form, "cmdImport");
    auto* list = control<QComboBox>(form, "cmbTeamlist2");
    std::vector<QWidget*> takers;
    for (QWidget* w : form.findChildren<QWidget*>())
        if (w->isVisible() && (w->focusPolicy() & Qt::TabFocus))
            takers.push_back(w);
    EXPECT_EQ(takers.size(), 2U);

    EXPECT_EQ(QApplication::focusWidget(), button);
    QWidget* next = button->nextInFocusChain();
    while (next != list && next != button && !(next->focusPolicy() & Qt::TabFocus))
        next = next->nextInFocusChain();
    EXPECT_EQ(next, list);
}

TEST_F(Form57Test, MissingDatabaseWarnsAtLoadAndAgainOnPickingTheSlot) {
    Form57 form{GameFolder(folder())};
    ASSERT_EQ(m_operator.boxes.size(), 1U);
    const Operator::Box& box = m_operator.boxes[0];
    EXPECT_EQ(box.text, kUnzipText);
    EXPECT_EQ(box.title, QStringLiteral("Unzip Error"));
    EXPECT_EQ(box.icon, QMessageBox::Warning);
    EXPECT_EQ(box.buttons, QMessageBox::Ok);

    // The selection stands all the same.
    EXPECT_EQ(control<QLabel>(form, "lblimportname")->text(), QStringLiteral("default2009"));
    EXPECT_EQ(control<QLabel>(form, "lblImportFileName")->text(),
              QDir::toNativeSeparators(path(QStringLiteral("seasonStats.mdb"))));
    EXPECT_FALSE(control<QLabel>(form, "lblheading5")->isHidden());

    auto* list = control<QComboBox>(form, "cmbTeamlist2");
    emit list->activated(0);
    ASSERT_EQ(m_operator.boxes.size(), 2U);
    EXPECT_EQ(m_operator.boxes[1].text, kUnzipText);

    placeDatabase();
    emit list->activated(0);
    EXPECT_EQ(m_operator.boxes.size(), 2U);
}

TEST_F(Form57Test, MessageStylesPickIconsButtonsAndAnswers) {
    placeDatabase();
    Form57 form{GameFolder(folder())};
    struct Row {
        MessageStyle style;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton press;
        int answer;
    };
    const Row rows[] = {
        {{}, QMessageBox::NoIcon, QMessageBox::Ok, QMessageBox::Ok, RunUi::Ok},
        {{MessageIcon::None, MessageButtons::OkCancel},
         QMessageBox::NoIcon,
         QMessageBox::Ok | QMessageBox::Cancel,
         QMessageBox::Cancel,
         RunUi::Cancel},
        {{MessageIcon::None, MessageButtons::OkCancel},
         QMessageBox::NoIcon,
         QMessageBox::Ok | QMessageBox::Cancel,
         QMessageBox::Ok,
         RunUi::Ok},
        {{MessageIcon::Critical},
         QMessageBox::Critical,
         QMessageBox::Ok,
         QMessageBox::Ok,
         RunUi::Ok},
        {{MessageIcon::Warning}, QMessageBox::Warning, QMessageBox::Ok, QMessageBox::Ok, RunUi::Ok},
        {{MessageIcon::Information},
         QMessageBox::Information,
         QMessageBox::Ok,
         QMessageBox::Ok,
         RunUi::Ok},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.style.icon));
        m_operator.boxes.clear();
        m_operator.answers = {row.press};
        EXPECT_EQ(form.message(QStringLiteral("text"), row.style, QStringLiteral("Title")),
                  row.answer);
        ASSERT_EQ(m_operator.boxes.size(), 1U);
        EXPECT_EQ(m_operator.boxes[0].icon, row.icon);
        EXPECT_EQ(m_operator.boxes[0].buttons, row.buttons);
        EXPECT_EQ(m_operator.boxes[0].title, QStringLiteral("Title"));
    }

    m_operator.boxes.clear();
    form.message(QStringLiteral("Import Complete!"), {}, QString());
    ASSERT_EQ(m_operator.boxes.size(), 1U);
    EXPECT_EQ(m_operator.boxes[0].title, QStringLiteral("Tolvane Rally 2009 Patch"));
}

class Form57RunTest : public Form57Test {
protected:
    void SetUp() override {
        Form57Test::SetUp();
        demo::writeProgramFolder(folder(), demo::Options{3, 5});
        m_form = std::make_unique<Form57>(GameFolder(folder()));
        m_operator.form = m_form.get();
        m_form->show();
        QObject::connect(bar(), &QProgressBar::valueChanged, m_form.get(),
                         [this](int v) { m_values.push_back(v); });
    }

    QPushButton* button() { return control<QPushButton>(*m_form, "cmdImport"); }
    QGroupBox* frame() { return control<QGroupBox>(*m_form, "frmprogress"); }
    QProgressBar* bar() { return control<QProgressBar>(*m_form, "ProgressBar1"); }
    QComboBox* slotList() { return control<QComboBox>(*m_form, "cmbTeamlist2"); }
    // Presses "Update" and waits for the run it starts to end.
    void update() {
        QEventLoop loop;
        QObject::connect(m_form.get(), &Form57::runEnded, &loop, &QEventLoop::quit);
        QTimer::singleShot(60000, &loop, [&loop] {
            ADD_FAILURE() << "the run did not end within a minute";
            loop.quit();
        });
        button()->click();
        if (m_form->isRunning())
            loop.exec();
    }
    QStringList boxTexts() const {
        QStringList texts;
        for (const Operator::Box& box : m_operator.boxes)
            texts << box.text;
        return texts;
    }

    std::unique_ptr<Form57> m_form;
    std::vector<int> m_values;
};

TEST_F(Form57RunTest, UpdateShowsProgressThenCompletes) {
    int looks = 0;
    bool frameShown = false;
    m_operator.duringRun = [&] {
        ++looks;
        frameShown = frameShown || frame()->isVisible();
    };

    update();

    EXPECT_GT(looks, 0) << "the run never let the window handle its events";
    EXPECT_TRUE(frameShown);
    ASSERT_EQ(m_operator.boxes.size(), 1U) << boxTexts().join(QLatin1String(" | ")).toStdString();
    EXPECT_EQ(m_operator.boxes[0].text, QStringLiteral("Import Complete!"));
    EXPECT_EQ(m_operator.boxes[0].title, QStringLiteral("Tolvane Rally 2009 Patch"));
    EXPECT_EQ(m_operator.boxes[0].icon, QMessageBox::NoIcon);
    EXPECT_TRUE(frame()->isHidden());
    EXPECT_EQ(bar()->value(), 0);
    EXPECT_TRUE(QDir(path(QStringLiteral("lists/default2009"))).exists());

    // 15 players: the bar climbs once per row to 90, then 100, then back to 0.
    ASSERT_GE(m_values.size(), 3U);
    EXPECT_EQ(m_values.back(), 0);
    EXPECT_EQ(m_values[m_values.size() - 2], 100);
    const std::vector<int> climb(m_values.begin(), m_values.end() - 2);
    EXPECT_TRUE(std::is_sorted(climb.begin(), climb.end()));
    EXPECT_EQ(climb.size(), 15U);
    EXPECT_EQ(climb.back(), 90);
}

// While the run works, the window is painted and answers the system, but what the user
// does to it is dropped: neither a press of "Update" nor a close does anything, then or
// once the run is over.
TEST_F(Form57RunTest, UpdatePressedDuringTheRunNeitherStartsASecondRunNorCloses) {
    int presses = 0;
    bool closed = false;
    bool handledBeforeTheFrame = false;
    m_operator.duringRun = [&] {
        handledBeforeTheFrame = handledBeforeTheFrame || !frame()->isVisible();
        if (presses++ == 0) {
            button()->click();
            closed = m_form->close();
            // Real presses of the mouse, as the window system delivers them, on the button
            // and on the slot list, which would open its list.
            for (QWidget* target :
                 {static_cast<QWidget*>(button()), static_cast<QWidget*>(slotList())}) {
                const QPointF centre(target->width() / 2.0, target->height() / 2.0);
                for (const QEvent::Type type :
                     {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
                    QCoreApplication::postEvent(
                        target,
                        new QMouseEvent(type, centre, target->mapToGlobal(centre), Qt::LeftButton,
                                        type == QEvent::MouseButtonPress ? Qt::LeftButton
                                                                         : Qt::NoButton,
                                        Qt::NoModifier));
            }
        }
    };

    update();
    // Whatever input was held back would arrive now.
    QCoreApplication::processEvents();

    EXPECT_GT(presses, 0);
    EXPECT_FALSE(slotList()->view()->isVisible()) << "the slot list opened during the run";
    slotList()->hidePopup();
    EXPECT_TRUE(handledBeforeTheFrame) << "the window handled no events while the season was "
                                          "being checked";
    EXPECT_FALSE(closed);
    EXPECT_TRUE(m_form->isVisible());
    // A second run would have found the slot and asked before replacing it.
    EXPECT_EQ(boxTexts(), QStringList{QStringLiteral("Import Complete!")});
}

TEST_F(Form57RunTest, SecondUpdateAsksAndCancelChangesNothing) {
    update();
    m_operator.boxes.clear();
    m_values.clear();

    m_operator.answers = {QMessageBox::Cancel};
    update();

    ASSERT_EQ(m_operator.boxes.size(), 1U);
    EXPECT_EQ(m_operator.boxes[0].title, QStringLiteral("Roster Slot Import"));
    EXPECT_EQ(m_operator.boxes[0].buttons, QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_TRUE(m_values.empty());
    EXPECT_TRUE(frame()->isHidden());
}

// A question closed without a press of OK (by the system, by a quit, by a box that never
// came up) is no consent: the slot stays as it was.
TEST_F(Form57RunTest, QuestionClosedWithoutAnAnswerLeavesTheSlot) {
    update();
    // A team list that a replaced slot would no longer hold.
    const QString list = path(QStringLiteral("lists/default2009"));
    QDirIterator lists(list, {QStringLiteral("*_List.tvp")}, QDir::Files,
                       QDirIterator::Subdirectories);
    ASSERT_TRUE(lists.hasNext());
    QFile marker(lists.next());
    ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    marker.write("not the list a run writes");
    marker.close();
    const auto before = filesBelow(list);
    m_operator.boxes.clear();

    m_operator.closeWithoutAnswer = true;
    update();

    EXPECT_EQ(boxTexts().size(), 1) << boxTexts().join(QLatin1String(" | ")).toStdString();
    EXPECT_EQ(m_operator.boxes.at(0).title, QStringLiteral("Roster Slot Import"));
    EXPECT_EQ(filesBelow(list), before);
}

// The program quit during a run, as the system or a launcher may ask it to: the run goes on
// to its end (or to the answer of its question), and then the process ends, at once.
// Played by this test program itself in a second process, which prints "run ended" when
// the window has seen the run end.
int quitDuringRun(const QString& folder, bool atQuestion) {
    Form57 form{GameFolder(folder)};
    form.show();
    QObject::connect(&form, &Form57::runEnded, [] {
        std::printf("run ended\n");
        std::fflush(stdout);
    });
    bool quitAsked = false;
    QTimer hand;
    hand.setInterval(10);
    QObject::connect(&hand, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        const bool boxUp = box && box->isVisible();
        if (!quitAsked && form.isRunning() && (!atQuestion || boxUp)) {
            quitAsked = true;
            QCoreApplication::quit();
        } else if (boxUp && quitAsked) {
            box->button(atQuestion ? QMessageBox::Cancel : QMessageBox::Ok)->click();
        }
    });
    hand.start();
    QTimer::singleShot(0, &form, [&form] { control<QPushButton>(form, "cmdImport")->click(); });
    return QApplication::exec();
}

TEST_F(Form57RunTest, QuitDuringARunEndsTheProcessOnceTheRunHasEnded) {
    const QString list = path(QStringLiteral("lists/default2009"));
    for (const bool atQuestion : {false, true}) {
        SCOPED_TRACE(atQuestion ? "quit while the question is up" : "quit during a new slot");
        const auto before = filesBelow(list);
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--quit-during-run"), folder(),
                     atQuestion ? QStringLiteral("question") : QStringLiteral("new")});
        ASSERT_TRUE(child.waitForStarted(10000));
        QByteArray output;
        while (!output.contains("run ended") && child.state() != QProcess::NotRunning) {
            child.waitForReadyRead(30000);
            output += child.readAllStandardOutput();
        }
        ASSERT_TRUE(output.contains("run ended")) << output.toStdString();
        QElapsedTimer sinceTheEnd;
        sinceTheEnd.start();
        // A child that has ended already is no hang: waitForFinished() answers false for it.
        const bool ended = child.state() == QProcess::NotRunning || child.waitForFinished(10000);
        if (!ended)
            child.kill();
        ASSERT_TRUE(ended) << "the process hung after its run";
        EXPECT_LT(sinceTheEnd.elapsed(), 1000);
        EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(child.exitCode(), 0);
        if (atQuestion) {
            EXPECT_EQ(filesBelow(list), before);
        } else {
            // The slot is complete: a run in this process over it gives the same files.
            const auto written = filesBelow(list);
            EXPECT_FALSE(written.empty());
            update();
            EXPECT_EQ(filesBelow(list), written);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    // Before the application object exists, or Qt looks for an X server.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], "--quit-during-run") == 0)
        return quitDuringRun(QString::fromLocal8Bit(argv[2]),
                             std::strcmp(argv[3], "question") == 0);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
