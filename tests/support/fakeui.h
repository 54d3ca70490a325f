#pragma once

#include "run/runui.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <vector>

namespace tolvane {

// A scripted stand-in for the window: records every message and progress value, and
// answers message boxes from a queue (OK when the queue is empty).
class FakeUi : public RunUi {
public:
    struct Message {
        QString text;
        MessageStyle style;
        QString title;
    };

    Answer message(const QString& text, MessageStyle style, const QString& title) override;
    void setProgressVisible(bool visible) override;
    void setProgress(float value) override;
    void processEvents(std::chrono::nanoseconds timeLeft) override;
    bool canRestartAsAdministrator() const override { return restartPossible; }
    void restartAsAdministrator() override { ++restarts; }

    std::deque<Answer> answers;
    std::vector<Message> messages;
    std::vector<float> progressValues;
    std::vector<bool> visibility;
    int eventRounds = 0;
    // Whether the fake offers a restart as administrator, and how often the run asked
    // for one.
    bool restartPossible = false;
    int restarts = 0;
    // Called on each processEvents, e.g. to press "Update" again during a pause.
    std::function<void()> onEvents;
    // Whether processEvents sleeps through the time left, as a window with a thread of its
    // own lets it pass: a test of many runs then leaves the processor to the others.
    bool sleepThroughPauses = false;
    // Called when a message box is shown, before it is answered.
    std::function<void(const Message&)> onMessage;

    bool progressVisible() const { return !visibility.empty() && visibility.back(); }
    QStringList titles() const;
};

} // namespace tolvane
