#include "ui/platform/session_end.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>
#include <QWindow>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace session {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
int wakeUp[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    (void)!::write(wakeUp[1], &byte, 1);
}

class DestroyWatch : public QAbstractNativeEventFilter {
  public:
    DestroyWatch(QWidget* window, std::function<void()> destroyed)
        : window_(window), destroyed_(std::move(destroyed)) {}

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

void closeOnSignals(std::function<void()> close) {
    if (::pipe2(wakeUp, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(wakeUp[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier, close = std::move(close)] {
        char bytes[16];
        while (::read(wakeUp[0], bytes, sizeof bytes) > 0) {
        }
        notifier->setEnabled(false);
        for (int signal : kSignals)
            std::signal(signal, SIG_DFL); // a second one ends the program at once
        close();
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
