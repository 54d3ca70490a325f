#pragma once

#include "core/runui.h"
#include "run/updaterun.h"

#include <QString>
#include <QWidget>

class QCloseEvent;
class QComboBox;
class QGroupBox;
class QLabel;
class QProgressBar;

// The patch's one window: says what the patch does, shows the roster slot and the season
// database that "Update" will use, and shows the run's messages and progress.
class Form57 : public QWidget, public RunUi {
    Q_OBJECT

public:
    // The caption of the window, also the title of messages that have none of their own.
    static const QString& appTitle();

    // Selects the roster slot (warning when the season database is missing) before it returns,
    // so that the warning comes before the window is first shown.
    explicit Form57(const QString& programFolder, QWidget* parent = nullptr);
    ~Form57() override;

    Answer message(const QString& text, MessageStyle style, const QString& title) override;
    void setProgressVisible(bool visible) override;
    void setProgress(float value) override;
    void processEvents() override;

    UpdateRun& updateRun() { return m_run; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    // Makes the slot chosen in the list the run's slot, and shows it and the database the
    // run will read.
    void selectChosenSlot();

    UpdateRun m_run;

    // The controls that change after the window is built; object names in quotes.
    QComboBox* m_slotList = nullptr;       // "cmbTeamlist2"
    QLabel* m_creatingLabel = nullptr;     // "lblheading5", "Creating:"
    QLabel* m_toLabel = nullptr;           // "lblheading6", "To:"
    QLabel* m_slotNameLabel = nullptr;     // "lblimportname"
    QLabel* m_databasePathLabel = nullptr; // "lblImportFileName"
    QGroupBox* m_progressFrame = nullptr;  // "frmprogress", "Please Wait..."
    QProgressBar* m_progressBar = nullptr; // "ProgressBar1"
};
