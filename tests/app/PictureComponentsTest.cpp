#include "app/DialogImageOk.h"
#include "app/LogoImage.h"
#include "support/TestSupport.h"

namespace
{
juce::Image makeWhitePicture (int width, int height)
{
    juce::Image picture (juce::Image::RGB, width, height, false);
    picture.clear (picture.getBounds(), juce::Colours::white);
    return picture;
}

// Rows and columns of the painted image that hold any non-black pixel.
juce::Rectangle<int> findBrightArea (const juce::Image& image)
{
    int left = image.getWidth(), right = -1, top = image.getHeight(), bottom = -1;

    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            if (image.getPixelAt (x, y).getBrightness() > 0.5f)
            {
                left = juce::jmin (left, x);
                right = juce::jmax (right, x);
                top = juce::jmin (top, y);
                bottom = juce::jmax (bottom, y);
            }

    return right < 0 ? juce::Rectangle<int>() : juce::Rectangle<int>::leftTopRightBottom (left, top, right + 1, bottom + 1);
}
} // namespace

TEST (DrawImage, ScalesThePictureToFitCentredOnBlack)
{
    struct Case
    {
        int pictureWidth, pictureHeight, width, height;
        juce::Rectangle<int> expected;
    };

    const Case cases[] = {
        { 600, 280, 600, 238, { 45, 0, 510, 238 } },
        { 600, 148, 200, 50, { 0, 0, 200, 50 } }, // about 49.3 high, centred
        { 100, 100, 300, 200, { 50, 0, 200, 200 } },
    };

    for (auto& c : cases)
    {
        DrawImage view (makeWhitePicture (c.pictureWidth, c.pictureHeight));
        view.setSize (c.width, c.height);
        auto area = findBrightArea (TestSupport::paintToImage (view));
        EXPECT_EQ (area.getX(), c.expected.getX());
        EXPECT_EQ (area.getWidth(), c.expected.getWidth());
        EXPECT_NEAR (area.getCentreY(), c.height / 2, 1);
        EXPECT_NEAR (area.getHeight(), c.expected.getHeight(), 1);
    }

    DrawImage empty ({});
    empty.setSize (20, 20);
    EXPECT_TRUE (findBrightArea (TestSupport::paintToImage (empty)).isEmpty());
}

TEST (DrawImage, ShowsAPointingHandWithOrWithoutALink)
{
    DrawImage view (makeWhitePicture (10, 10));
    view.setSize (10, 10);
    auto source = juce::Desktop::getInstance().getMainMouseSource();
    juce::MouseEvent event (source, {}, {}, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, &view, &view, juce::Time::getCurrentTime(), {}, juce::Time::getCurrentTime(), 1, false);

    view.mouseEnter (event);
    EXPECT_EQ (view.getMouseCursor(), juce::MouseCursor (juce::MouseCursor::PointingHandCursor));
    view.mouseExit (event);
    EXPECT_EQ (view.getMouseCursor(), juce::MouseCursor (juce::MouseCursor::NormalCursor));
}

TEST (DialogImageOk, LaysOutThePictureAboveTheButton)
{
    struct Case
    {
        int width, height;
        juce::Rectangle<int> image, button;
    };

    const Case cases[] = {
        { 600, 280, { 0, 0, 600, 238 }, { 225, 244, 150, 30 } },
        { 601, 280, { 0, 0, 601, 238 }, { 225, 244, 150, 30 } },
        { 600, 30, { 0, 0, 600, 0 }, { 225, -6, 150, 30 } },
    };

    for (auto& c : cases)
    {
        DialogImageOk notice (makeWhitePicture (600, 280));
        notice.setSize (c.width, c.height);
        EXPECT_EQ (notice.image.getBounds(), c.image);
        EXPECT_EQ (notice.okButton.getBounds(), c.button);
        EXPECT_EQ (notice.okButton.getButtonText(), "OK");
        EXPECT_EQ (notice.dialogWindow, nullptr);
    }
}

TEST (DialogImageOk, OkWithoutAWindowDoesNothing)
{
    DialogImageOk notice (makeWhitePicture (600, 280));
    notice.setSize (600, 280);
    notice.okButton.triggerClick();
    TestSupport::pumpFor (50);
    EXPECT_EQ (notice.dialogWindow, nullptr);
}

TEST (LaunchDialog, ShowsAModalGreyWindowThatDoesNotOwnItsContent)
{
    struct Case
    {
        const char* name;
        std::function<void (DialogImageOk&)> close;
    };

    const Case cases[] = {
        { "OK button", [] (DialogImageOk& n)
          { n.okButton.triggerClick(); } },
        { "close button", [] (DialogImageOk& n)
          { n.dialogWindow->closeButtonPressed(); } },
        { "Escape", [] (DialogImageOk& n)
          { static_cast<juce::Component*> (n.dialogWindow)->keyPressed (juce::KeyPress (juce::KeyPress::escapeKey)); } },
    };

    for (auto& c : cases)
    {
        auto notice = std::make_unique<DialogImageOk> (makeWhitePicture (600, 280));
        notice->setSize (600, 280);
        launchDialog (notice.get(), "New version available");

        ASSERT_NE (notice->dialogWindow, nullptr) << c.name;
        juce::Component::SafePointer<juce::DialogWindow> window (notice->dialogWindow);
        EXPECT_EQ (window->getName(), "New version available");
        EXPECT_TRUE (window->isCurrentlyModal());
        EXPECT_FALSE (window->isUsingNativeTitleBar());
        EXPECT_EQ (window->getBackgroundColour(), juce::Colours::grey);
        EXPECT_EQ (window->getContentComponent(), notice.get());
        EXPECT_EQ (notice->getWidth(), 600);

        c.close (*notice);
        EXPECT_TRUE (TestSupport::pumpUntil ([&]
                                             { return window == nullptr; }))
            << c.name;

        // The content outlives its window.
        EXPECT_EQ (notice->getParentComponent(), nullptr) << c.name;
        EXPECT_EQ (notice->getWidth(), 600);
    }
}

TEST (LogoImage, DrawsTheLogoScaledIntoItsBoundsAndCentred)
{
    LogoImage logo;
    logo.setSize (150, 50);
    auto area = findBrightArea (TestSupport::paintToImage (logo));

    // The logo's view box is about 5.06 : 1, so it is about 150 x 29.7.
    ASSERT_FALSE (area.isEmpty());
    EXPECT_GE (area.getY(), 10);
    EXPECT_LE (area.getBottom(), 40);
    EXPECT_GT (area.getWidth(), 120);
}

TEST (LaunchDialog, OpensCentredOverItsParentOrTheActiveWindowResizableFromItsCorner)
{
    // Windows away from the middle of the display, where a dialog centred on nothing
    // would open.
    juce::DocumentWindow mainWindow ("Tavoline Audio Velmora", juce::Colours::black, juce::DocumentWindow::closeButton, true);
    mainWindow.setBounds (100, 80, 1200, 628);
    mainWindow.setVisible (true);

    juce::Component holder;
    holder.setSize (400, 300);
    juce::DocumentWindow otherWindow ("Other", juce::Colours::black, juce::DocumentWindow::closeButton, true);
    otherWindow.setContentNonOwned (&holder, true);
    otherWindow.setTopLeftPosition (1400, 700);
    otherWindow.setVisible (true);

    mainWindow.toFront (true);
    ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                         { return juce::TopLevelWindow::getActiveTopLevelWindow() == &mainWindow; }));

    struct Case
    {
        const char* name;
        juce::Component* parent;
        juce::Component* centredOver;
    };

    const Case cases[] = {
        { "no parent, the main window active", nullptr, &mainWindow },
        { "inside another window", &holder, &holder },
    };

    for (auto& c : cases)
    {
        auto notice = std::make_unique<DialogImageOk> (makeWhitePicture (600, 280));
        notice->setSize (600, 280);

        if (c.parent != nullptr)
            c.parent->addAndMakeVisible (*notice);

        launchDialog (notice.get(), "New version available");
        ASSERT_NE (notice->dialogWindow, nullptr) << c.name;
        juce::Component::SafePointer<juce::DialogWindow> window (notice->dialogWindow);

        auto expectedCentre = c.centredOver->localPointToGlobal (c.centredOver->getLocalBounds().getCentre());
        auto centre = window->getScreenBounds().getCentre();
        EXPECT_NEAR (centre.x, expectedCentre.x, 1) << c.name;
        EXPECT_NEAR (centre.y, expectedCentre.y, 1) << c.name;

        EXPECT_TRUE (window->isResizable()) << c.name;
        int corners = 0, borders = 0;

        for (auto* child : window->getChildren())
        {
            corners += dynamic_cast<juce::ResizableCornerComponent*> (child) != nullptr ? 1 : 0;
            borders += dynamic_cast<juce::ResizableBorderComponent*> (child) != nullptr ? 1 : 0;
        }

        EXPECT_EQ (corners, 1) << c.name;
        EXPECT_EQ (borders, 0) << c.name;

        notice->okButton.triggerClick();
        EXPECT_TRUE (TestSupport::pumpUntil ([&]
                                             { return window == nullptr; }))
            << c.name;
    }
}
