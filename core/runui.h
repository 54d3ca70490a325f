#pragma once

class QString;

// Everything an update run needs from the person in front of the screen. The window
// implements it with message boxes and its progress frame; tests script it.
class RunUi {
public:
    // Message box style values, as the game's tools have always used them.
    enum Style : int {
        OkOnly = 0,
        OkCancel = 1,
        Exclamation = 48,
        Information = 64,
        Critical = 16,
    };
    // Answers a message box can give.
    enum Answer : int { Ok = 1, Cancel = 2 };

    virtual ~RunUi() = default;

    // Shows a modal message and returns the button pressed. An empty title means the
    // application's own title.
    virtual int message(const QString& text, int style, const QString& title) = 0;
    // Shows or hides the "Please Wait..." progress frame.
    virtual void setProgressVisible(bool visible) = 0;
    // Sets the progress bar (0 to 100); the run keeps its own single-precision total.
    virtual void setProgress(float value) = 0;
    // Lets the window handle its pending events (painting, clicks).
    virtual void processEvents() = 0;
};
