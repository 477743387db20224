#include "app/form_language_view.h"

#include "app/form_look.h"
#include "app/qt_ports.h"
#include "i18n/fonts.h"

#include <QLabel>

QWidget* FormLanguageView::Find(const std::string& control) const {
    return form_->findChild<QWidget*>(QString::fromStdString(control));
}

void FormLanguageView::SetCaption(const std::string& control, const std::u16string& text) {
    auto* label = qobject_cast<QLabel*>(Find(control));
    if (!label)
        return;
    label->setTextFormat(Qt::PlainText); // a translation holding "<b>" shows it as it stands
    label->setText(ToQString(text));
    // A word-wrapped label sized to its text keeps its width and takes the height of its lines.
    if (label->property("autoSize").toBool())
        label->resize(label->width(), label->heightForWidth(label->width()));
}

void FormLanguageView::SetFontFace(const std::string& control, const std::string& face) {
    QWidget* widget = Find(control);
    if (!widget)
        return;
    QFont font = widget->font();
    font.setFamily(QString::fromStdString(ResolveFontFace(face)));
    widget->setFont(font);
}

void FormLanguageView::SetFontPointSize(const std::string& control, int points) {
    QWidget* widget = Find(control);
    if (!widget)
        return;
    QFont font = widget->font();
    font.setPointSize(points);
    widget->setFont(font);
}

void FormLanguageView::SetFontColor(const std::string& control, int red, int green, int blue) {
    if (QWidget* widget = Find(control))
        ::SetFontColor(widget, QColor(red, green, blue));
}

void FormLanguageView::MoveTo(const std::string& control, int top, int left) {
    if (QWidget* widget = Find(control))
        widget->move(left, top + pageOffset_(widget));
}
