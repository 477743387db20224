#include "upgrade/ui/input_string.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

constexpr int kMinimumWidth = 250;
constexpr int kMinimumHeight = 100;

QString FromU16(const std::u16string& text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

InputButtonLabels InputButtonLabelsFor(const QLocale& locale) {
    if (locale.language() == QLocale::Chinese && locale.territory() == QLocale::China)
        return {QStringLiteral("确定"), QStringLiteral("取消")};
    return {QStringLiteral("OK"), QStringLiteral("Cancel")};
}

TInputStringDialog::TInputStringDialog(const QString& caption, const QString& text, int maxLength,
                                       QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("InputStringDialog"));
    setWindowTitle(caption);
    setModal(true);
    setMinimumSize(kMinimumWidth, kMinimumHeight);

    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("InputEdit"));
    edit_->setMaxLength(maxLength);
    edit_->setText(text);
    edit_->selectAll();

    const InputButtonLabels labels = InputButtonLabelsFor(QLocale());
    ok_ = new QPushButton(labels.ok, this);
    ok_->setObjectName(QStringLiteral("InputOk"));
    cancel_ = new QPushButton(labels.cancel, this);
    cancel_->setObjectName(QStringLiteral("InputCancel"));
    // Enter in the edit presses the default button; Esc rejects any dialog.
    ok_->setDefault(true);
    ok_->setAutoDefault(true);
    cancel_->setAutoDefault(false);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(edit_);
    layout->addStretch(1);
    layout->addLayout(buttons);
    resize(minimumSizeHint().expandedTo(QSize(300, kMinimumHeight)));
}

QString TInputStringDialog::Text() const {
    return edit_->text();
}

void TInputStringDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Centred on the screen rather than on the window that asks.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    edit_->setFocus();
}

bool InputString(QWidget* parent, const QString& caption, QString& text, int maxLength) {
    TInputStringDialog dialog(caption, text, maxLength, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    text = dialog.Text();
    return true;
}

bool QtInputBox::InputString(const std::u16string& caption, std::u16string& text, int maxLength) {
    QString value = FromU16(text);
    if (!::InputString(parent_, FromU16(caption), value, maxLength))
        return false;
    text.assign(reinterpret_cast<const char16_t*>(value.utf16()),
                static_cast<std::size_t>(value.size()));
    return true;
}
