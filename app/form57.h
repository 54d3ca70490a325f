#pragma once

#include "core/runui.h"
#include "run/updaterun.h"

#include <QString>
#include <QWidget>

#include <cstdint>

class QCloseEvent;
class QComboBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

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

    int message(const QString& text, int style, const QString& title) override;
    void setProgressVisible(bool visible) override;
    void setProgress(float value) override;
    void processEvents() override;

    // Kept from the game's tools; nothing calls them.
    static std::int16_t checktype(std::int16_t anum, std::int16_t aNum2);
    void setList(const QString& aList) { m_listName = aList; }

    UpdateRun& updateRun() { return m_run; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void cmbTeamlist2_Click();
    void cmdImport_Click();

    UpdateRun m_run;
    QString m_listName;

    QGroupBox* m_frmImport = nullptr;
    QComboBox* m_cmbTeamlist2 = nullptr;
    QLabel* m_lblheading5 = nullptr;
    QLabel* m_lblheading6 = nullptr;
    QLabel* m_lblimportname = nullptr;
    QLabel* m_lblImportFileName = nullptr;
    QPushButton* m_cmdImport = nullptr;
    QGroupBox* m_frmprogress = nullptr;
    QProgressBar* m_progressBar1 = nullptr;
};
