#pragma once

#include <chrono>

class QString;

namespace tolvane {

// The icon a message box shows.
enum class MessageIcon { None, Information, Warning, Critical };
// The buttons a message box offers.
enum class MessageButtons { Ok, OkCancel, YesNo };

// How a message box looks; the default is a plain box with an OK button.
struct MessageStyle {
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;

    friend bool operator==(const MessageStyle&, const MessageStyle&) = default;
};

// Everything an update run needs from the person in front of the screen. The window
// implements it with message boxes and its progress frame; tests script it.
class RunUi {
public:
    // Answers a message box can give, valued as Windows values them.
    enum Answer : int { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

    virtual ~RunUi() = default;

    // Shows a modal message and returns the button pressed. An empty title means the
    // application's own title.
    virtual Answer message(const QString& text, MessageStyle style, const QString& title) = 0;
    // Shows or hides the "Please Wait..." progress frame.
    virtual void setProgressVisible(bool visible) = 0;
    // Sets the progress bar (0 to 100); the run keeps its own single-precision total.
    virtual void setProgress(float value) = 0;
    // Called through the tenth of a second before the player pass, in which the window
    // paints, until the time is up: a window that shares the run's thread handles its
    // pending events, one that has a thread of its own lets the time left pass at once.
    virtual void processEvents(std::chrono::nanoseconds timeLeft) = 0;

    // Whether the program could start itself again with the rights of an administrator,
    // which it lacks now: on Windows, when it was not started "as administrator".
    virtual bool canRestartAsAdministrator() const = 0;
    // Starts the program again as administrator (the system asks the user first) and ends
    // this one.
    virtual void restartAsAdministrator() = 0;
};

} // namespace tolvane
