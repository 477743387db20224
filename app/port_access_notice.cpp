#include "app/port_access_notice.h"

#include "device/connection_monitor.h"
#include "i18n/language_loader.h"
#include "platform/clock.h"

PortAccessTexts ReadPortAccessTexts(const std::string& iniPath, int languageNumber) {
    std::vector<LanguageTextKey> keys;
    for (const PortAccessTextKey& entry : kPortAccessTextKeys)
        keys.push_back({entry.key, entry.englishDefault});
    const std::vector<std::u16string> values = ReadLanguageTexts(iniPath, languageNumber, keys);
    PortAccessTexts texts;
    for (std::size_t i = 0; i < kPortAccessTextKeys.size(); ++i)
        texts.*kPortAccessTextKeys[i].field = values[i];
    return texts;
}

PortAccessNotice::PortAccessNotice(QObject* owner, PortAccessTexts texts,
                                   std::function<void()> checkConnection,
                                   std::function<void(const std::u16string&)> tell)
    : owner_(owner), texts_(std::move(texts)), tell_(std::move(tell)) {
    retry_.setSingleShot(true);
    retry_.setInterval(static_cast<int>(PortAccessWatch::kRetryIntervalMs));
    QObject::connect(&retry_, &QTimer::timeout, owner, std::move(checkConnection));
}

void PortAccessNotice::AfterCheck(const ConnectionResult& result) {
    const PortAccessWatch::Decision decision = watch_.AfterCheck(
        result.Port, result.Open, ClassifyOpenError(result.OpenError), platform::TickCount());
    if (decision.tell) {
        // Looking into /proc takes a moment: only for the one message of a plug-in.
        const std::u16string text =
            PortAccessMessage(DiagnosePortOpenFailure(result.Port, result.OpenError), texts_);
        QMetaObject::invokeMethod(
            owner_, [tell = tell_, text] { tell(text); }, Qt::QueuedConnection);
    }
    if (decision.retry)
        retry_.start();
    else
        retry_.stop();
}
