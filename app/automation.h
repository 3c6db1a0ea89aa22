#pragma once
// A seam for end-to-end tests and screenshot scripts, which have no person and no
// window-manager tool to press buttons: TRIMLET_ACTIONS="click:btnPreview;wait:500;close"
// runs its steps from the event loop after the main window's first showing. Without the
// variable nothing of it exists.
//
//   click:NAME  clicks the button or triggers the menu item of that object name, in the
//               modal window on top if there is one, else in a showing window; a button on a
//               page that is not showing has its page brought forward first, as a user would
//   wait:MS     lets the program run for MS milliseconds
//   close       closes the windows on top, then the main window through its normal close
//
// A step that cannot be carried out prints one line to standard error, closes the program as
// `close` does and makes it exit with 1.

#include <QObject>
#include <QString>
#include <memory>
#include <vector>

class QWidget;

namespace trimlet {

// The variable that holds the steps.
inline constexpr char kActionsVariable[] = "TRIMLET_ACTIONS";

class Automation : public QObject {
    Q_OBJECT
public:
    struct Step {
        enum Kind { Click, Focus, Wait, Close } kind;
        QString name;          // Click, Focus: the object name
        int milliseconds = 0;  // Wait
        QString text;          // as written, for messages
    };

    // The steps of a script, or the message for the first step that is not one.
    struct Parsed {
        std::vector<Step> steps;
        QString error;
    };
    static Parsed parse(const QString& script);

    // An automation for the variable's steps, or none when the variable is not set.
    static std::unique_ptr<Automation> fromEnvironment(QWidget* mainWindow);

    Automation(const QString& script, QWidget* mainWindow, QObject* parent = nullptr);

    // Runs the first step once the event loop is running.
    void start();
    bool failed() const { return failed_; }

private:
    void runNext();
    // Runs the next step once the events that the last one queued have been handled.
    void afterEvents();
    bool click(const Step& step);
    void closeWindows();
    void fail(const QString& message);

    Parsed parsed_;
    QWidget* mainWindow_;
    std::size_t next_ = 0;
    bool failed_ = false;
};

}  // namespace trimlet
