#include "support/fakeui.h"

#include <thread>

namespace tolvane {

RunUi::Answer FakeUi::message(const QString& text, MessageStyle style, const QString& title) {
    messages.push_back({text, style, title});
    if (onMessage)
        onMessage(messages.back());
    if (answers.empty())
        return Ok;
    const Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

void FakeUi::setProgressVisible(bool visible) {
    visibility.push_back(visible);
}

void FakeUi::setProgress(float value) {
    progressValues.push_back(value);
}

void FakeUi::processEvents(std::chrono::nanoseconds timeLeft) {
    ++eventRounds;
    if (onEvents)
        onEvents();
    if (sleepThroughPauses)
        std::this_thread::sleep_for(timeLeft);
}

QStringList FakeUi::titles() const {
    QStringList result;
    for (const Message& m : messages)
        result << m.title;
    return result;
}

} // namespace tolvane
