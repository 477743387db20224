#include "app/main_entry.h"

#include "app/form_main.h"
#include "i18n/lang_ini_location.h"
#include "i18n/language_loader.h"
#include "i18n/ui/font_substitutions.h"
#include "i18n/ui/form1.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/termination_signals.h"

#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>

#include <exception>
#include <memory>

bool RestartRequested = false;

namespace {

// The application's standard display of an error that escaped the windows.
void ShowException(const QString& text) {
    QMessageBox box;
    box.setIcon(QMessageBox::Critical);
    box.setWindowTitle(QCoreApplication::applicationName());
    box.setTextFormat(Qt::PlainText); // a path in the text may hold '<'
    box.setText(text);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

} // namespace

int RunQuillon(int argc, char* argv[]) {
    platform::InstallTerminationSignals();
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Drevo"));
    // The desktop entry's name: the compositor's app id, which finds the window its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.quillon.Quillon"));
    RegisterFontSubstitutions();
    // An installed program reads the user's copy of the shipped lang.ini.
    PrepareUserLangIni(platform::ExecutablePath());
    {
        std::unique_ptr<TFormMain> formMain;
        std::unique_ptr<TForm1> form1;
        // A termination signal ends the program as its close button does, without a restart;
        // leaving every event loop also ends a modal dialog or message box that is open.
        bool terminated = false;
        std::unique_ptr<QSocketNotifier> signalNotifier;
        if (platform::TerminationSignalFd() >= 0) {
            signalNotifier = std::make_unique<QSocketNotifier>(platform::TerminationSignalFd(),
                                                               QSocketNotifier::Read);
            QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, [&] {
                platform::TakeTerminationSignal();
                terminated = true;
                RestartRequested = false;
                if (formMain)
                    formMain->close();
                QCoreApplication::exit(0);
            });
        }
        try {
            FormMainOptions options;
            options.ShowLanguageDialog = [&form1] {
                if (form1)
                    form1->exec();
            };
            formMain = std::make_unique<TFormMain>(std::move(options));
            form1 = std::make_unique<TForm1>(formMain->Factory(), LangIniPath());
            form1->onRestartRequested = [&formMain] {
                RestartRequested = true;
                formMain->close();
            };
            formMain->show();
            if (!terminated)
                QApplication::exec();
        } catch (const std::exception& error) {
            ShowException(QString::fromUtf8(error.what()));
        } catch (...) {
            ShowException(QString());
        }
        // The dialog draws with the window's factory, so it goes first; the window and its
        // serial port go before a fresh copy starts, so that the new copy finds the port free.
        form1.reset();
        formMain.reset();
    }
    if (RestartRequested)
        platform::StartFreshCopyOfSelf();
    return 0;
}
