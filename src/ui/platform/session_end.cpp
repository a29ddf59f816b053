#include "ui/platform/session_end.h"

#include "ui/platform/message_box.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace session {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
int wakeUp[2] = {-1, -1};

volatile sig_atomic_t signalsSeen = 0;

// Only what a signal handler may safely do: a byte into the pipe that the event loop reads. A second
// signal, whether or not the first one's end has begun, ends the program at once, as the signal does by
// default: the user insists.
void onSignal(int signal) {
    if (++signalsSeen > 1) {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    const char byte = 1;
    (void)!::write(wakeUp[1], &byte, 1);
}

// Every dialog and popup the user has open, ended as Cancel and Escape end them.
void endDialogs() {
    while (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(window); dialog && dialog->isVisible())
            dialog->reject();
}

// The close runs from the main event loop itself: a dialog's own loop returns first, and the handler that
// opened the dialog finishes with its windows still there. Should a loop not end within two seconds, the
// settings are kept without the windows and the program ends.
void closeWhenNoDialog(const std::function<void()>& close, const std::function<void()>& giveUp, int tries) {
    endDialogs();
    if (QThread::currentThread()->loopLevel() <= 1) {
        close();
        return;
    }
    if (tries >= 200) {
        giveUp();
        std::exit(0);
    }
    QTimer::singleShot(10, QCoreApplication::instance(),
                       [close, giveUp, tries] { closeWhenNoDialog(close, giveUp, tries + 1); });
}

// A child of the application, so that it goes when the application goes.
class DestroyWatch : public QObject, public QAbstractNativeEventFilter {
  public:
    DestroyWatch(QWidget* window, std::function<void()> destroyed)
        : QObject(QCoreApplication::instance()), window_(window), destroyed_(std::move(destroyed)) {}

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t" || !window_ || !window_->windowHandle())
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7F) != XCB_DESTROY_NOTIFY)
            return false;
        const auto* notice = static_cast<const xcb_destroy_notify_event_t*>(message);
        if (notice->window == xcb_window_t(window_->windowHandle()->winId()))
            destroyed_();
        return false;
    }

  private:
    QPointer<QWidget> window_;
    std::function<void()> destroyed_;
};

} // namespace

void closeOnSignals(std::function<void()> close, std::function<void()> giveUp) {
    if (::pipe2(wakeUp, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(wakeUp[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                     [notifier, close = std::move(close), giveUp = std::move(giveUp)] {
                         char bytes[16];
                         while (::read(wakeUp[0], bytes, sizeof bytes) > 0) {
                         }
                         notifier->setEnabled(false);
                         // No one is there to answer a box any more: what it would say goes to standard
                         // error, and its default button is the answer.
                         mb::answerOnStandardError();
                         closeWhenNoDialog(close, giveUp, 0);
                     });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
}

void onWindowDestroyed(QWidget* window, std::function<void()> destroyed) {
    QCoreApplication::instance()->installNativeEventFilter(new DestroyWatch(window, std::move(destroyed)));
}

} // namespace session
