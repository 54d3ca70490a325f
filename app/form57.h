#pragma once

#include "run/runui.h"
#include "run/updaterun.h"

#include <QString>
#include <QWidget>

#include <atomic>
#include <memory>
#include <optional>

class QCloseEvent;
class QComboBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSessionManager;
class QThread;

namespace tolvane {

// The patch's one window: says what the patch does, shows the roster slot and the season
// database that "Update" will use, and shows the run's messages and progress. The run
// works on a thread of its own while the window goes on painting and answering the system,
// so that it never looks hung; the person at the screen can do nothing to it but answer
// its messages until it ends.
class Form57 : public QWidget, public RunUi {
    Q_OBJECT

public:
    // The caption of the window, also the title of messages that have none of their own.
    static const QString& appTitle();

    // Selects the roster slot (warning when the season database is missing) before it returns,
    // so that the warning comes before the window is first shown.
    explicit Form57(const GameFolder& game, QWidget* parent = nullptr);
    ~Form57() override;

    // The run's side of the window, callable from the run's thread as from the window's.
    Answer message(const QString& text, MessageStyle style, const QString& title) override;
    void setProgressVisible(bool visible) override;
    void setProgress(float value) override;
    void processEvents(std::chrono::nanoseconds timeLeft) override;
    bool canRestartAsAdministrator() const override;
    void restartAsAdministrator() override;

    UpdateRun& updateRun() { return m_run; }
    // True from the press of "Update" until its run has ended.
    bool isRunning() const { return m_worker != nullptr; }

signals:
    // A run started by "Update" has ended, whatever its outcome.
    void runEnded();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* target, QEvent* event) override;

private:
    void buildControls();
    // The slot list with its heading, and the labels that show the slot and the database.
    void buildSlotControls(QWidget* importFrame);
    QPushButton* buildUpdateButton(QWidget* importFrame);
    void buildProgressFrame();
    // Gives the keyboard to the button and the slot list alone, and the quit key to the window.
    void takeKeyboard(QPushButton* updateButton);
    // The press of "Update": starts the whole run on a thread of its own and returns, so
    // that this thread keeps the window painted and holds back the user's input to it.
    void runUpdate();
    // The run's thread has ended: the window takes the user's input again, and a quit
    // asked for during the run goes ahead.
    void finishRun();
    // The system's end of session, asking whether the program may be ended.
    void askedToEndSession(QSessionManager& manager);
    // Runs work on the window's thread and waits for it; nothing when the window's thread
    // could not be reached.
    template <class Work> auto onWindowThread(Work work) -> std::optional<decltype(work())>;
    // Makes the slot chosen in the list the run's slot, and shows it and the database the
    // run will read.
    void selectChosenSlot();

    UpdateRun m_run;
    // The thread of the run under way, from the press of "Update" to the run's end.
    std::unique_ptr<QThread> m_worker;
    // The application was asked to quit during the run; it quits when the run has ended.
    bool m_quitWhenDone = false;
    // The program has started again as administrator: this one closes once the run ends.
    bool m_closeWhenDone = false;
    // The bar position last sent to the window's thread, so that a run's thousands of
    // steps cost one repaint per position the bar can show.
    std::atomic<int> m_shownProgress{0};

    // The controls that change after the window is built; object names in quotes.
    QComboBox* m_slotList = nullptr;       // "cmbTeamlist2"
    QLabel* m_creatingLabel = nullptr;     // "lblheading5", "Creating:"
    QLabel* m_toLabel = nullptr;           // "lblheading6", "To:"
    QLabel* m_slotNameLabel = nullptr;     // "lblimportname"
    QLabel* m_databasePathLabel = nullptr; // "lblImportFileName"
    QGroupBox* m_progressFrame = nullptr;  // "frmprogress", "Please Wait..."
    QProgressBar* m_progressBar = nullptr; // "ProgressBar1"
};

} // namespace tolvane
