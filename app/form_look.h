#pragma once
// Fonts and colours of the window's controls.
#include <QColor>
#include <QFont>
#include <QString>

class QWidget;

// The layout's face for every caption; the platform substitutes an installed CJK face.
inline const QString kLayoutFace = QStringLiteral("微软雅黑");

QFont PixelFont(int pixels, const QString& face = kLayoutFace);

// The colour a control draws its text with.
void SetFontColor(QWidget* control, const QColor& color);
QColor FontColor(const QWidget* control);

// The desktop's window colour (a current tab's caption) and scroll-bar colour (the other one).
QColor SystemWindowColor();
QColor SystemScrollBarColor();

class QLabel;
class QRect;

// A single-line label whose text is wider than the label gets a smaller font until the text
// fits (not below 9 pixels), so that no language loses the ends of its words.
void FitCaption(QLabel* label);

// Places a single-line caption over its plate (a button or the internet indicator's plate; all
// rectangles in the label's parent coordinates).  The label keeps its left edge where its text
// stays inside `textArea`, otherwise the text is centred on the area; the label is centred
// vertically on the plate; and the font starts again from the label's layout size and shrinks
// (not below 9 pixels) until the text fits both the area and the label.  A text too long even
// then ends in an ellipsis and keeps its whole wording in the label's tooltip.
void FitCaptionOnPlate(QLabel* label, const QRect& plate, const QRect& textArea);

// Where a label's text is drawn, in its parent's coordinates.
QRect CaptionTextRect(const QLabel* label);
