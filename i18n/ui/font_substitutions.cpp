#include "i18n/ui/font_substitutions.h"

#include "i18n/fonts.h"

#include <QFont>
#include <QString>

void RegisterFontSubstitutions() {
    for (const char* face : {kFaceYaHei, kFaceSongTi})
        QFont::insertSubstitution(QString::fromUtf8(face),
                                  QString::fromStdString(ResolveFontFace(face)));
}
