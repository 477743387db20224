#include "graphics/ui/skin_scroll_bars.h"

#include <QAbstractScrollArea>
#include <QScrollBar>

namespace {

const char kStyle[] = R"(
QScrollBar:vertical { background: rgb(8, 49, 95); width: 14px; margin: 0; border: none; }
QScrollBar:horizontal { background: rgb(8, 49, 95); height: 14px; margin: 0; border: none; }
QScrollBar::handle:vertical { background: rgb(38, 92, 156); min-height: 28px; margin: 2px;
                              border-radius: 5px; }
QScrollBar::handle:horizontal { background: rgb(38, 92, 156); min-width: 28px; margin: 2px;
                                border-radius: 5px; }
QScrollBar::handle:hover { background: rgb(62, 128, 204); }
QScrollBar::handle:pressed { background: rgb(0, 190, 80); }
QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; border: none; background: none; }
QScrollBar::add-page, QScrollBar::sub-page { background: none; }
)";

} // namespace

void ApplySkinScrollBars(QAbstractScrollArea* area) {
    for (QScrollBar* bar : {area->verticalScrollBar(), area->horizontalScrollBar()})
        bar->setStyleSheet(QString::fromLatin1(kStyle));
    auto* corner = new QWidget(area);
    corner->setAutoFillBackground(true);
    QPalette palette = corner->palette();
    palette.setColor(QPalette::Window, QColor(8, 49, 95));
    corner->setPalette(palette);
    area->setCornerWidget(corner);
}
