#include "app/main_entry.h"

#include "app/form_main.h"
#include "i18n/language_loader.h"
#include "i18n/ui/font_substitutions.h"
#include "i18n/ui/form1.h"
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
    box.setTextFormat(Qt::PlainText); // a path in the text may hold '<'
    box.setText(text);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

} // namespace

int RunQuillon(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Drevo"));
    RegisterFontSubstitutions();
    {
        std::unique_ptr<TFormMain> formMain;
        std::unique_ptr<TForm1> form1;
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
