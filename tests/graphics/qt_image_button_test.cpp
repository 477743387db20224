// Image buttons over real QLabels, driven by synthetic Qt events on the offscreen platform, and
// bitmaps shown through Qt.
#include "graphics/bitmap_factory.h"
#include "graphics/image_button.h"
#include "graphics/ui/qt_bitmap.h"
#include "graphics/ui/qt_image_control.h"
#include "tests/graphics/image_fixtures.h"

#include <QApplication>
#include <QCursor>
#include <QEnterEvent>
#include <QLabel>
#include <QMouseEvent>
#include <gtest/gtest.h>
#include <memory>

namespace {

// A label that counts the events that reach its own handling.
class CountingLabel : public QLabel {
public:
    int Presses = 0;
    int Releases = 0;
    int Enters = 0;

protected:
    void mousePressEvent(QMouseEvent* event) override {
        ++Presses;
        QLabel::mousePressEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        ++Releases;
        QLabel::mouseReleaseEvent(event);
    }
    void enterEvent(QEnterEvent* event) override {
        ++Enters;
        QLabel::enterEvent(event);
    }
};

void Press(QWidget* widget, QEvent::Type type, QPointF at) {
    QMouseEvent event(type, at, widget->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void Enter(QWidget* widget) {
    QEnterEvent event(QPointF(1, 1), QPointF(1, 1), widget->mapToGlobal(QPointF(1, 1)));
    QApplication::sendEvent(widget, &event);
}

void Leave(QWidget* widget) {
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(widget, &event);
}

// Red of the label's shown pixmap at (x, y); -1 without one.
int ShownRed(const QLabel& label, int x = 3, int y = 3) {
    QImage image = label.pixmap().toImage();
    return image.isNull() ? -1 : qRed(image.pixel(x, y));
}

class QtImageButtonTest : public ::testing::Test {
protected:
    QtImageButtonTest() {
        // The print page's buttons: a normal and a lit look, pressed and disabled = normal.
        resources.Add("png", "btn_normal", SolidPng(40, 20, 10, 0, 0));
        resources.Add("png", "btn_light", SolidPng(40, 20, 20, 0, 0));
        resources.Add("png", "chk_out", SolidPng(40, 20, 30, 0, 0));
        resources.Add("png", "chk_ovr", SolidPng(40, 20, 40, 0, 0));
        resources.Add("png", "chk_dwn", SolidPng(40, 20, 50, 0, 0));
        factory->SetResourceFinder(resources.Finder());
        label.resize(40, 20);
    }

    FixtureResources resources;
    CountingLabel label;
    std::unique_ptr<TBitmapFactory> factory = std::make_unique<TBitmapFactory>();
};

TEST_F(QtImageButtonTest, LooksFollowSyntheticEventsAndEventsStillReachTheLabel) {
    Activate(*factory, &label, "png:btn_normal", "png:btn_light", nullptr, nullptr);
    EXPECT_EQ(label.cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(ShownRed(label), 10);
    struct Step {
        const char* What;
        std::function<void()> Do;
        int Shown;
    } steps[] = {
        {"enter", [&] { Enter(&label); }, 20},
        {"leave", [&] { Leave(&label); }, 10},
        {"enter again", [&] { Enter(&label); }, 20},
        {"press: pressed look is the normal look",
         [&] {
             Press(&label, QEvent::MouseButtonPress, {5, 5});
         },
         10},
        {"release inside",
         [&] {
             Press(&label, QEvent::MouseButtonRelease, {5, 5});
         },
         20},
        {"press",
         [&] {
             Press(&label, QEvent::MouseButtonPress, {5, 5});
         },
         10},
        {"release after dragging outside",
         [&] {
             Press(&label, QEvent::MouseButtonRelease, {60, 5});
         },
         10},
        {"press",
         [&] {
             Press(&label, QEvent::MouseButtonPress, {5, 5});
         },
         10},
        {"release on the first column",
         [&] {
             Press(&label, QEvent::MouseButtonRelease, {0, 5});
         },
         10},
        {"press",
         [&] {
             Press(&label, QEvent::MouseButtonPress, {5, 5});
         },
         10},
        {"release a fraction into the first column (scaled screen)",
         [&] {
             Press(&label, QEvent::MouseButtonRelease, {0.6, 5});
         },
         10},
        {"press",
         [&] {
             Press(&label, QEvent::MouseButtonPress, {5, 5});
         },
         10},
        {"release a fraction into the last column",
         [&] {
             Press(&label, QEvent::MouseButtonRelease, {39.6, 5});
         },
         20},
    };
    for (const Step& step : steps) {
        step.Do();
        EXPECT_EQ(ShownRed(label), step.Shown) << step.What;
    }
    EXPECT_EQ(label.Presses, 5);
    EXPECT_EQ(label.Releases, 5);
    EXPECT_EQ(label.Enters, 2);
}

TEST_F(QtImageButtonTest, DisablingShowsTheDisabledLookAndEnablingTheCursorRule) {
    Activate(*factory, &label, "png:chk_out", "png:chk_ovr", "png:chk_dwn", nullptr);
    Press(&label, QEvent::MouseButtonPress, {5, 5});
    EXPECT_EQ(ShownRed(label), 50);
    Press(&label, QEvent::MouseButtonRelease, {5, 5});
    EXPECT_EQ(ShownRed(label), 40);
    Press(&label, QEvent::MouseButtonDblClick, {5, 5}); // the second press of a double click
    EXPECT_EQ(ShownRed(label), 50);
    label.setEnabled(false); // disabled look is the normal look
    EXPECT_EQ(ShownRed(label), 30);
    EXPECT_EQ(factory->ButtonList().front()->State(), TImg2Btn::Disabled);
    // Enabled again: hover when the cursor is over the label, else normal.
    QCursor::setPos(label.mapToGlobal(QPoint(500, 500)));
    label.setEnabled(true);
    EXPECT_EQ(factory->ButtonList().front()->State(), TImg2Btn::Normal);
    label.setEnabled(false);
    QCursor::setPos(label.mapToGlobal(QPoint(7, 7)));
    label.setEnabled(true);
    EXPECT_EQ(factory->ButtonList().front()->State(), TImg2Btn::Hover);
}

TEST_F(QtImageButtonTest, RemovingTheButtonGivesTheLabelItsOwnHandlingBack) {
    Activate(*factory, &label, "png:btn_normal", "png:btn_light", nullptr, nullptr);
    Activate(*factory, &label, "png:chk_out", "png:chk_ovr", nullptr, nullptr);
    EXPECT_EQ(ShownRed(label), 30); // second Activate: new looks, new normal look shown
    EXPECT_EQ(factory->ButtonList().size(), 1u);
    Activate(*factory, &label, nullptr, nullptr, nullptr, nullptr);
    EXPECT_TRUE(factory->ButtonList().empty());
    EXPECT_FALSE(QtImageControl::Of(&label)->IsHooked());
    Enter(&label);
    EXPECT_EQ(ShownRed(label), 30); // no look change any more
    EXPECT_EQ(label.Enters, 1);     // but the label still sees the event
}

TEST_F(QtImageButtonTest, FactoryAndLabelMayGoInEitherOrder) {
    CountingLabel other;
    other.resize(40, 20);
    Activate(*factory, &label, "png:btn_normal", nullptr, nullptr, nullptr);
    Activate(*factory, &other, "png:btn_light", nullptr, nullptr, nullptr);
    factory.reset();
    EXPECT_FALSE(QtImageControl::Of(&label)->IsHooked());
    EXPECT_FALSE(QtImageControl::Of(&other)->IsHooked());
    Enter(&label); // nothing left to call

    factory = std::make_unique<TBitmapFactory>();
    factory->SetResourceFinder(resources.Finder());
    auto* doomed = new QLabel;
    doomed->resize(40, 20);
    Activate(*factory, doomed, "png:btn_normal", nullptr, nullptr, nullptr);
    EXPECT_EQ(factory->GetReferenceCount("png:btn_normal"), 1);
    delete doomed; // takes its button out of the factory
    EXPECT_TRUE(factory->ButtonList().empty());
    EXPECT_EQ(factory->GetReferenceCount("png:btn_normal"), 0);
}

TEST(QtBitmap, ConvertsBothDepthsTopDown) {
    std::unique_ptr<Bitmap> rgb(MakeBitmap(2, 2, {0x102030, 0x405060, 0x708090, 0xA0B0C0}));
    QImage image = ToQImage(*rgb);
    ASSERT_EQ(image.size(), QSize(2, 2));
    EXPECT_EQ(image.pixel(0, 0), qRgb(0x10, 0x20, 0x30));
    EXPECT_EQ(image.pixel(1, 1), qRgb(0xA0, 0xB0, 0xC0));
    std::unique_ptr<Bitmap> back(FromQImage(image));
    EXPECT_EQ(back->Pixels, rgb->Pixels);

    std::unique_ptr<Bitmap> argb(CreateBitmap(1, 2, 32));
    argb->Line(0)[0] = 0x33, argb->Line(0)[3] = 0x80;
    QImage alpha = ToQImage(*argb);
    EXPECT_EQ(alpha.pixel(0, 0), qRgba(0, 0, 0x33, 0x80));
    EXPECT_EQ(qAlpha(alpha.pixel(0, 1)), 0);
    EXPECT_TRUE(ToQImage(nullptr).isNull());
}

} // namespace
