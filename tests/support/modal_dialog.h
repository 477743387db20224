#pragma once
// Answers the next modal dialog of a widget test: `act` runs once the dialog is up (it is
// polled for every 10 ms, for at most 10 s), typically filling in fields and accepting.
#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <functional>
#include <memory>

namespace quillon::test {

struct DialogWaiter {
    std::function<void(QDialog*)> act;
    int tries = 0;
};

inline void PollForDialog(std::shared_ptr<DialogWaiter> waiter) {
    QTimer::singleShot(10, [waiter] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            waiter->act(dialog);
            return;
        }
        if (++waiter->tries < 1000)
            PollForDialog(waiter);
    });
}

inline void WhenModalDialogShows(std::function<void(QDialog*)> act) {
    PollForDialog(std::make_shared<DialogWaiter>(DialogWaiter{std::move(act)}));
}

} // namespace quillon::test
