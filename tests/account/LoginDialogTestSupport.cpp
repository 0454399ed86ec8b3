#include "account/LoginDialogTestSupport.h"

namespace
{
bool imagesEqual (const juce::Image& a, const juce::Image& b)
{
    if (a.getBounds() != b.getBounds())
        return false;

    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            if (a.getPixelAt (x, y) != b.getPixelAt (x, y))
                return false;

    return true;
}
} // namespace

int countBubbles (LoginDialog& dialog)
{
    int count = 0;

    for (auto* child : dialog.getChildren())
        if (dynamic_cast<juce::BubbleMessageComponent*> (child) != nullptr)
            ++count;

    return count;
}

::testing::AssertionResult showsBubble (LoginDialog& dialog, const juce::String& message, juce::Component& target)
{
    if (countBubbles (dialog) != 1 || dialog.bubble == nullptr)
        return ::testing::AssertionFailure() << countBubbles (dialog) << " bubbles";

    if (! dialog.bubble->isVisible())
        return ::testing::AssertionFailure() << "the bubble is hidden";

    juce::BubbleMessageComponent reference (500);
    reference.setAllowedPlacement (juce::BubbleComponent::above);
    reference.setLookAndFeel (&dialog.getLookAndFeel());
    dialog.addChildComponent (reference);

    juce::AttributedString text;
    text.append (message, juce::Font (20.0f));
    reference.showAt (&target, text, 1500, true, false);

    auto expectedBounds = reference.getBounds();
    auto sameLook = imagesEqual (reference.createComponentSnapshot (reference.getLocalBounds()),
                                 dialog.bubble->createComponentSnapshot (dialog.bubble->getLocalBounds()));

    dialog.removeChildComponent (&reference);
    reference.setLookAndFeel (nullptr);

    if (dialog.bubble->getBounds() != expectedBounds)
        return ::testing::AssertionFailure() << "the bubble is at " << dialog.bubble->getBounds().toString()
                                             << ", expected at " << expectedBounds.toString();

    if (! sameLook)
        return ::testing::AssertionFailure() << "the bubble shows another message";

    return ::testing::AssertionSuccess();
}

juce::Image paintOver (juce::Component& component, juce::Colour background)
{
    juce::Image image (juce::Image::ARGB, component.getWidth(), component.getHeight(), true);
    juce::Graphics g (image);
    g.fillAll (background);
    component.paintEntireComponent (g, true);
    return image;
}
