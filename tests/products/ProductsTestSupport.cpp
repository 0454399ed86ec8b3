#include "products/ProductsTestSupport.h"

#include "app/VelmoraApplication.h"

namespace ProductsTestSupport
{
void storeCatalogue (const juce::String& text)
{
    VelmoraApplication::getSettings()->getUserSettings()->setValue ("xmlAppProducts", text);
}

void removeStoredCatalogue()
{
    VelmoraApplication::getSettings()->getUserSettings()->removeValue ("xmlAppProducts");
}

bool writeJpeg (const juce::File& file, juce::Colour colour, int size)
{
    juce::Image image (juce::Image::RGB, size, size, true);
    image.clear (image.getBounds(), colour);

    file.getParentDirectory().createDirectory();
    file.deleteFile();
    juce::FileOutputStream out (file);

    if (! out.openedOk())
        return false;

    juce::JPEGImageFormat jpeg;
    return jpeg.writeImageToStream (image, out);
}

juce::MemoryBlock makeZip (const std::vector<std::pair<juce::String, juce::String>>& entries)
{
    auto folder = TestSupport::makeTempFolder ("zip");
    auto archive = folder.getChildFile ("archive.zip");

    juce::StringArray command { "python3",
                                "-c",
                                "import sys, zipfile\n"
                                "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
                                "    for i in range(2, len(sys.argv), 2):\n"
                                "        z.writestr(sys.argv[i], sys.argv[i + 1])\n",
                                archive.getFullPathName() };

    for (auto& entry : entries)
    {
        command.add (entry.first);
        command.add (entry.second);
    }

    juce::ChildProcess python;
    juce::MemoryBlock data;

    if (python.start (command) && python.waitForProcessToFinish (20000) && python.getExitCode() == 0)
        archive.loadFileAsData (data);

    folder.deleteRecursively();
    return data;
}

juce::DialogWindow* findDialogWindow (const juce::String& title)
{
    for (int i = 0; i < juce::TopLevelWindow::getNumTopLevelWindows(); ++i)
        if (auto* dialog = dynamic_cast<juce::DialogWindow*> (juce::TopLevelWindow::getTopLevelWindow (i)))
            if (dialog->getName() == title)
                return dialog;

    return nullptr;
}

juce::AlertWindow* findAlertWindow()
{
    auto& desktop = juce::Desktop::getInstance();

    for (int i = 0; i < desktop.getNumComponents(); ++i)
        if (auto* alert = dynamic_cast<juce::AlertWindow*> (desktop.getComponent (i)))
            return alert;

    return nullptr;
}

void closeModalWindows()
{
    juce::ModalComponentManager::getInstance()->cancelAllModalComponents();
    TestSupport::pumpFor (50);
}
} // namespace ProductsTestSupport
