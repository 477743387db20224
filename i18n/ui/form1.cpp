#include "i18n/ui/form1.h"

#include "core/ports.h"
#include "graphics/bitmap_factory.h"
#include "graphics/ui/qt_bitmap.h"
#include "i18n/fonts.h"
#include "i18n/language_keys.h"

#include <QBitmap>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QWindow>

#include <algorithm>

namespace {

constexpr int kDialogWidth = 960;
constexpr int kDialogHeight = 584;
constexpr int kDragBandHeight = 75;

// A label that runs a handler when clicked, like a toolkit label's OnClick.
class ClickLabel : public QLabel {
public:
    ClickLabel(QWidget* parent, std::function<void()> onClick)
        : QLabel(parent), onClick_(std::move(onClick)) {}

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            onClick_();
    }

private:
    std::function<void()> onClick_;
};

struct RadioLayout {
    int left, top, width, height;
    const char* face;
    int pixelSize; // 0: the face's default height
    int red, green, blue;
};
// Buttons 1 ... 12; each background matches the skin beneath the button.
constexpr std::array<RadioLayout, 12> kRadioLayout = {{
    {192, 168, 130, 20, kFaceSongTi, 16, 22, 76, 140},
    {192, 208, 130, 20, kFaceYaHei, 16, 21, 76, 138},
    {192, 248, 130, 20, kFaceYaHei, 16, 22, 73, 136},
    {192, 288, 130, 20, kFaceYaHei, 16, 18, 72, 134},
    {192, 328, 130, 20, kFaceYaHei, 16, 15, 66, 131},
    {192, 368, 130, 20, kFaceYaHei, 16, 11, 59, 125},
    {600, 168, 130, 17, kFaceYaHei, 0, 29, 89, 151},
    {600, 208, 130, 17, kFaceYaHei, 16, 28, 86, 149},
    {600, 256, 130, 17, kFaceYaHei, 16, 25, 84, 144},
    {600, 296, 130, 17, kFaceYaHei, 16, 23, 79, 140},
    {600, 336, 130, 17, kFaceYaHei, 16, 24, 78, 140},
    {600, 376, 130, 17, kFaceYaHei, 16, 21, 72, 135},
}};

QFont Face(const char* face, int pixelSize) {
    QFont font(QString::fromStdString(ResolveFontFace(face)));
    if (pixelSize > 0)
        font.setPixelSize(pixelSize);
    return font;
}

// White text (the system window colour) on whatever lies beneath.
void MakeTransparentCaption(QLabel* label, const QFont& font) {
    label->setTextFormat(Qt::PlainText); // texts from lang.ini are never markup
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    label->setAttribute(Qt::WA_TranslucentBackground);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    label->setCursor(Qt::PointingHandCursor);
}

// The picture of "jpg:dialog_button" without the pixels that have its bottom-left colour, so
// the skin shows through its corners.
QPixmap TransparentButtonPicture(TBitmapFactory& factory) {
    Bitmap* bitmap = factory.LoadBitmapA("jpg:dialog_button", false);
    const QImage image = ToQImage(bitmap);
    factory.FreeBitmap(bitmap);
    if (image.isNull())
        return {};
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setMask(
        pixmap.createMaskFromColor(image.pixelColor(0, image.height() - 1), Qt::MaskInColor));
    return pixmap;
}

} // namespace

TForm1::TForm1(TBitmapFactory& factory, const std::string& iniPath, IMessageBox* messageBox,
               QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::Dialog), factory_(factory),
      messageBox_(messageBox) {
    setObjectName("Form1");
    BuildControls();

    // A lang.ini that cannot be created has already ended start-up in the main window; here it
    // only means that every text takes its default.
    dialogIni_.Open(iniPath, nullptr);
    dialogLanguage_ = dialogIni_.ReadInteger("set", "val", 2);
    SelectStoredLanguage();
    const std::string section = LanguageSection(dialogLanguage_);
    labelConfirm_->setText(QString::fromStdU16String(
        dialogIni_.ReadString(section, kDialogKeys[0].key, kDialogKeys[0].englishDefault)));
    labelCancel_->setText(QString::fromStdU16String(
        dialogIni_.ReadString(section, kDialogKeys[1].key, kDialogKeys[1].englishDefault)));
    labelLanguageSettings_->setText(QString::fromStdU16String(
        dialogIni_.ReadString(section, kDialogKeys[2].key, kDialogKeys[2].englishDefault)));
    setWindowTitle(" ");
    if (dialogLanguage_ == 1)
        labelLanguageSettings_->setFont(Face(kFaceSongTi, 27));

    dialogBackground_ = factory_.LoadBitmapA("png:form1", false);
    background_ = ToQImage(dialogBackground_);
    setFixedSize(kDialogWidth, kDialogHeight);
    move(486, 251);
}

TForm1::~TForm1() {
    factory_.FreeBitmap(dialogBackground_);
}

void TForm1::BuildControls() {
    setMouseTracking(true);

    labelLanguageSettings_ = new QLabel(this);
    labelLanguageSettings_->setObjectName(kDialogKeys[2].control);
    MakeTransparentCaption(labelLanguageSettings_, Face(kFaceYaHei, 27));
    labelLanguageSettings_->setCursor(Qt::ArrowCursor);
    labelLanguageSettings_->setGeometry(264, 70, 417, 43);

    auto* closeButton = new QPushButton(this);
    closeButton->setObjectName("CloseButton");
    closeButton->setFlat(true);
    closeButton->setStyleSheet("QPushButton { background: transparent; border: none; }");
    closeButton->setGeometry(920, 19, 24, 23);
    closeButton->setCursor(Qt::PointingHandCursor);
    connect(closeButton, &QPushButton::clicked, this, [this] { form_closeClick(); });

    const QPixmap buttonPicture = TransparentButtonPicture(factory_);
    const struct {
        const char* image;
        const char* label;
        int left;
        void (TForm1::*handler)();
        QLabel** caption;
    } buttons[] = {
        {"ImgButtonConfirm", kDialogKeys[0].control, 243, &TForm1::Label_ConfirmClick,
         &labelConfirm_},
        {"ImgButtonCancel", kDialogKeys[1].control, 515, &TForm1::Label_CancelClick, &labelCancel_},
    };
    for (const auto& b : buttons) {
        auto* image = new ClickLabel(this, [this, h = b.handler] { (this->*h)(); });
        image->setObjectName(b.image);
        image->setGeometry(b.left, 428, 150, 40);
        image->setPixmap(buttonPicture);
        image->setAttribute(Qt::WA_TranslucentBackground);
        image->setCursor(Qt::PointingHandCursor);
        auto* caption = new ClickLabel(this, [this, h = b.handler] { (this->*h)(); });
        caption->setObjectName(b.label);
        MakeTransparentCaption(caption, Face(kFaceYaHei, 17));
        caption->setGeometry(b.left - 2, 435, 150, 27);
        *b.caption = caption;
    }

    for (std::size_t i = 0; i < radioButtons_.size(); ++i) {
        const RadioLayout& r = kRadioLayout[i];
        auto* radio = new QRadioButton(QString::fromStdU16String(kLanguages[i].name), this);
        radio->setObjectName(QString("TntRadioButton%1").arg(i + 1));
        radio->setGeometry(r.left, r.top, r.width, r.height);
        radio->setFont(Face(r.face, r.pixelSize));
        QPalette palette = radio->palette();
        palette.setColor(QPalette::Window, QColor(r.red, r.green, r.blue));
        palette.setColor(QPalette::WindowText, Qt::white);
        radio->setPalette(palette);
        radio->setAutoFillBackground(true);
        // Styles may paint their own button face; the style sheet keeps the skin's colour.
        radio->setStyleSheet(QString("QRadioButton { background-color: rgb(%1, %2, %3); color: "
                                     "white; padding: 0px; }")
                                 .arg(r.red)
                                 .arg(r.green)
                                 .arg(r.blue));
        radioButtons_[i] = radio;
    }
}

// The stored language's button (the first one for a number outside 2 ... 12) is selected and
// has the focus.
void TForm1::SelectStoredLanguage() {
    const int number = (dialogLanguage_ >= 2 && dialogLanguage_ <= 12) ? dialogLanguage_ : 1;
    radioButtons_[static_cast<std::size_t>(number - 1)]->setChecked(true);
    radioButtons_[static_cast<std::size_t>(number - 1)]->setFocus();
}

void TForm1::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!background_.isNull())
        painter.drawImage(QRect(0, 0, width(), height()), background_);
}

// Each showing starts from the stored language, so a choice abandoned with Cancel is undone.
// (Doing it on every paint, too, would undo the user's click whenever the dialog is repainted
// before Confirm.)
void TForm1::showEvent(QShowEvent* event) {
    SelectStoredLanguage();
    KeepOnScreen();
    QDialog::showEvent(event);
}

// The dialog's fixed place suits a large screen; on a smaller one (a 1366 x 768 laptop) it would
// hang over the edge with its buttons out of reach, so it is pulled back inside the screen.
void TForm1::KeepOnScreen() {
    if (const QScreen* display = screen())
        move(PlaceOnScreen(display->availableGeometry(), geometry()));
}

QPoint PlaceOnScreen(const QRect& area, const QRect& window) {
    // When the window is larger than the area, its top-left corner stays visible.
    return {std::max(area.left(), std::min(window.left(), area.right() + 1 - window.width())),
            std::max(area.top(), std::min(window.top(), area.bottom() + 1 - window.height()))};
}

void TForm1::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && event->position().y() < kDragBandHeight) {
        QWindow* window = windowHandle();
        if (window == nullptr || !window->startSystemMove()) {
            // The platform refused: follow the pointer by hand until the button is released.
            dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
            dragging_ = true;
        }
        return;
    }
    QDialog::mousePressEvent(event);
}

void TForm1::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - dragOffset_);
        return;
    }
    dragging_ = false;
    setCursor(event->position().y() < kDragBandHeight ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void TForm1::Label_ConfirmClick() {
    int chosen = 0;
    for (std::size_t i = 0; i < radioButtons_.size(); ++i)
        if (radioButtons_[i]->isChecked())
            chosen = static_cast<int>(i) + 1;
    if (chosen == dialogLanguage_) {
        reject();
        SelectStoredLanguage();
        return;
    }
    std::string error;
    if (!dialogIni_.WriteString("set", "val", QString::number(chosen).toStdU16String(), &error)) {
        // Nothing is stored, so the dialog keeps counting the old language: another Confirm
        // tries the write again instead of closing as if it had worked.
        const std::u16string text = QString::fromStdString(error).toStdU16String();
        if (messageBox_)
            messageBox_->ShowTextMessage(text);
        else
            QMessageBox::critical(this, QString(), QString::fromStdU16String(text));
        return;
    }
    dialogLanguage_ = chosen;
    RestartRequested = true;
    accept();
    if (onRestartRequested)
        onRestartRequested();
}

void TForm1::Label_CancelClick() {
    reject();
}

void TForm1::form_closeClick() {
    reject();
}
