#pragma once

#include "catalog/Bundle.h"
#include "catalog/Executable.h"
#include "catalog/Plugin.h"
#include "downloads/DownloadInstaller.h"
#include "support/TestSupport.h"

// A product of the given kind whose install status is set by the test; while
// its worker runs it reads "downloading", as every product does.
template <typename Kind>
class FakeProduct : public Kind
{
public:
    explicit FakeProduct (const juce::String& shownName = {}, int statusToShow = notInstalled)
        : status (statusToShow)
    {
        this->name = shownName;
        this->nameView = shownName;
    }

    int getStatus() override
    {
        if (this->downloadInstaller != nullptr && this->downloadInstaller->progress > -1.0)
            return downloading;

        return status;
    }

    int status;
};

using FakePlugin = FakeProduct<Plugin>;
using FakeExecutable = FakeProduct<Executable>;
using FakeBundle = FakeProduct<Bundle>;

// A worker whose archive address leads nowhere; tests that need no running
// download move its progress by hand.
inline std::unique_ptr<DownloadInstaller> makeIdleInstaller()
{
    return std::make_unique<DownloadInstaller> (juce::URL ("http://127.0.0.1:" + juce::String (getClosedLoopbackPort()) + "/none.zip"));
}

// The colour of the most opaque pixel inside the area, and how many pixels
// are painted at all.
struct InkSample
{
    juce::Colour strongest;
    int paintedPixels = 0;
};

inline InkSample sampleInk (const juce::Image& image, juce::Rectangle<int> area)
{
    InkSample sample;
    area = area.getIntersection (image.getBounds());

    for (int y = area.getY(); y < area.getBottom(); ++y)
    {
        for (int x = area.getX(); x < area.getRight(); ++x)
        {
            auto pixel = image.getPixelAt (x, y);

            if (pixel.getAlpha() == 0)
                continue;

            ++sample.paintedPixels;

            if (pixel.getAlpha() > sample.strongest.getAlpha())
                sample.strongest = pixel;
        }
    }

    return sample;
}
