// Image-button logic over a recording image control: looks per state, drawing only on a change
// of look, and the release rule.
#include "graphics/bitmap_factory.h"
#include "graphics/image_button.h"
#include "tests/graphics/image_fixtures.h"

#include <gtest/gtest.h>
#include <memory>

namespace {

class FakeControl : public IImageControl {
public:
    int Width() const override { return 10; }
    int Height() const override { return 6; }
    bool IsEnabled() const override { return Enabled; }
    Point CursorPosition() const override { return Cursor; }
    Canvas& PictureCanvas() override { return canvas; }
    void Invalidate() override { ++Draws; }
    void SetHandCursor() override { HandCursor = true; }
    void InstallHook(TImg2Btn* hook) override { Hook = hook; }
    void RemoveHook() override { Hook = nullptr; }

    // The red channel of the picture's top-left pixel tells which look was drawn last.
    int Shown() const { return PixelAt(*picture, 0, 0).Red; }

    bool Enabled = true;
    Point Cursor;
    int Draws = 0;
    bool HandCursor = false;
    TImg2Btn* Hook = nullptr;
    std::unique_ptr<Bitmap> picture{CreateBitmap(10, 6, 24)};
    Canvas canvas{picture.get()};
};

class ImageButtonTest : public ::testing::Test {
protected:
    ImageButtonTest() {
        resources.Add("png", "normal", SolidPng(10, 6, 1, 0, 0));
        resources.Add("png", "hover", SolidPng(10, 6, 2, 0, 0));
        resources.Add("png", "pressed", SolidPng(10, 6, 3, 0, 0));
        resources.Add("png", "disabled", SolidPng(10, 6, 4, 0, 0));
        resources.Add("png", "other", SolidPng(10, 6, 5, 0, 0));
        factory.SetResourceFinder(resources.Finder());
    }
    void Send(ButtonMessage::Kind what, int x = 0, int y = 0) {
        ASSERT_NE(control.Hook, nullptr);
        control.Hook->HandleMessage(ButtonMessage{what, x, y});
    }

    FixtureResources resources;
    FakeControl control; // outlives the factory, as a window's controls do
    TBitmapFactory factory;
};

TEST_F(ImageButtonTest, StatesFollowTheMouseAndTheEnabledState) {
    factory.Activate(&control, "png:normal", "png:hover", "png:pressed", "png:disabled");
    ASSERT_EQ(factory.ButtonList().size(), 1u);
    EXPECT_TRUE(control.HandCursor);
    EXPECT_EQ(control.Shown(), 1);
    const TImg2Btn& button = *factory.ButtonList().front();
    struct Step {
        ButtonMessage::Kind What;
        int X, Y;
        bool Enabled;
        int State;
        int Shown;
    } steps[] = {
        {ButtonMessage::MouseEnter, 0, 0, true, 1, 2},
        {ButtonMessage::LeftButtonDown, 0, 0, true, 2, 3},
        {ButtonMessage::LeftButtonUp, 5, 3, true, 1, 2}, // inside
        {ButtonMessage::LeftButtonDown, 0, 0, true, 2, 3},
        {ButtonMessage::LeftButtonUp, 0, 3, true, 0, 1}, // first column counts as outside
        {ButtonMessage::LeftButtonDown, 0, 0, true, 2, 3},
        {ButtonMessage::LeftButtonUp, 5, 0, true, 0, 1}, // first row too
        {ButtonMessage::LeftButtonDown, 0, 0, true, 2, 3},
        {ButtonMessage::LeftButtonUp, 9, 5, true, 1, 2}, // last column and row are inside
        {ButtonMessage::LeftButtonDown, 0, 0, true, 2, 3},
        {ButtonMessage::LeftButtonUp, 10, 3, true, 0, 1}, // past the right edge
        {ButtonMessage::EnabledChanged, 0, 0, false, 3, 4},
        {ButtonMessage::MouseEnter, 0, 0, false, 3, 4}, // disabled: no hover
        {ButtonMessage::MouseLeave, 0, 0, false, 3, 4},
        {ButtonMessage::EnabledChanged, 0, 0, true, 1, 2}, // enabled with the cursor at (4, 4)
        {ButtonMessage::MouseLeave, 0, 0, true, 0, 1},
        {ButtonMessage::Other, 0, 0, true, 0, 1},
    };
    control.Cursor = Point{4, 4};
    for (const Step& step : steps) {
        control.Enabled = step.Enabled;
        Send(step.What, step.X, step.Y);
        EXPECT_EQ(button.State(), step.State) << &step - steps;
        EXPECT_EQ(control.Shown(), step.Shown) << &step - steps;
    }
    // Only the look on show is held.
    EXPECT_EQ(factory.GetReferenceCount("png:normal"), 1);
    EXPECT_EQ(factory.GetReferenceCount("png:hover"), 0);
}

TEST_F(ImageButtonTest, LooksWithTheSameNameDrawNothing) {
    // As the print page's buttons: pressed and disabled are the normal look.
    factory.Activate(&control, "png:normal", "png:hover", nullptr, nullptr);
    const TImg2Btn& button = *factory.ButtonList().front();
    EXPECT_EQ(button.Look(2), button.Look(0));
    EXPECT_EQ(button.Look(3), button.Look(0));
    int draws = control.Draws;
    Send(ButtonMessage::LeftButtonDown);
    EXPECT_EQ(button.State(), 2);
    EXPECT_EQ(control.Draws, draws);
    control.Enabled = false;
    Send(ButtonMessage::EnabledChanged);
    EXPECT_EQ(control.Draws, draws);
    // Names registered in another letter case are the same look.
    factory.Activate(&control, "png:normal", "PNG:NORMAL", nullptr, nullptr);
    draws = control.Draws;
    control.Enabled = true;
    Send(ButtonMessage::MouseEnter);
    EXPECT_EQ(button.State(), 1);
    EXPECT_EQ(control.Draws, draws);
}

TEST_F(ImageButtonTest, ActivateAgainReplacesLooksAndFourNullsRemoveTheButton) {
    factory.Activate(&control, "png:normal", "png:hover", nullptr, nullptr);
    factory.Activate(&control, "png:other", nullptr, nullptr, nullptr);
    ASSERT_EQ(factory.ButtonList().size(), 1u);
    EXPECT_EQ(control.Shown(), 5);
    EXPECT_EQ(factory.GetReferenceCount("png:normal"), 0);
    EXPECT_EQ(factory.GetReferenceCount("png:other"), 1);
    factory.Activate(&control, nullptr, nullptr, nullptr, nullptr);
    EXPECT_TRUE(factory.ButtonList().empty());
    EXPECT_EQ(control.Hook, nullptr);
    EXPECT_EQ(factory.GetReferenceCount("png:other"), 0);
    // No button and no names: nothing happens.
    factory.Activate(&control, nullptr, nullptr, nullptr, nullptr);
    EXPECT_TRUE(factory.ButtonList().empty());
}

TEST_F(ImageButtonTest, AMissingLookDrawsNothingButTheStateChanges) {
    factory.Activate(&control, "png:normal", "png:absent", nullptr, nullptr);
    const TImg2Btn& button = *factory.ButtonList().front();
    Send(ButtonMessage::MouseEnter);
    EXPECT_EQ(button.State(), 1);
    EXPECT_EQ(button.Bitmap(), nullptr);
    EXPECT_EQ(control.Shown(), 1); // the previous pixels stay
    EXPECT_EQ(factory.GetReferenceCount("png:normal"), 0);
    Send(ButtonMessage::MouseLeave);
    EXPECT_EQ(control.Shown(), 1);
    EXPECT_NE(button.Bitmap(), nullptr);
}

TEST_F(ImageButtonTest, DestroyingTheFactoryUnhooksEveryControl) {
    FakeControl second;
    {
        TBitmapFactory local;
        local.SetResourceFinder(resources.Finder());
        local.Activate(&control, "png:normal", nullptr, nullptr, nullptr);
        local.Activate(&second, "png:hover", nullptr, nullptr, nullptr);
        EXPECT_NE(control.Hook, nullptr);
        EXPECT_NE(second.Hook, nullptr);
    }
    EXPECT_EQ(control.Hook, nullptr);
    EXPECT_EQ(second.Hook, nullptr);
}

} // namespace
