#include "app/main_entry.h"

#include "app/form_main.h"
#include "platform/process.h"

#include <QApplication>
#include <QMessageBox>

#include <exception>
#include <memory>

bool RestartRequested = false;

namespace {

// The application's standard display of an error that escaped the windows.
void ShowException(const QString& text) {
    QMessageBox box;
    box.setIcon(QMessageBox::Critical);
    box.setWindowTitle(QCoreApplication::applicationName());
    box.setText(text);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

} // namespace

int RunQuillon(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Drevo"));
    {
        std::unique_ptr<TFormMain> formMain;
        try {
            FormMainOptions options;
            formMain = std::make_unique<TFormMain>(std::move(options));
            formMain->setAttribute(Qt::WA_QuitOnClose);
            formMain->show();
            QApplication::exec();
        } catch (const std::exception& error) {
            ShowException(QString::fromUtf8(error.what()));
        } catch (...) {
            ShowException(QString());
        }
        // The window and its serial port go before a fresh copy starts, so that the new copy
        // finds the port free.
        formMain.reset();
    }
    if (RestartRequested)
        platform::StartFreshCopyOfSelf();
    return 0;
}
