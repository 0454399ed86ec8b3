#include "app/VelmoraApplication.h"
#include "support/TestSupport.h"

#include <cstdlib>
#include <sys/stat.h>

namespace
{
juce::JUCEApplicationBase* createApplication()
{
    return new VelmoraApplication();
}

class ApplicationEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        initialiser = std::make_unique<juce::ScopedJuceInitialiser_GUI>();
        juce::JUCEApplicationBase::createInstance = &createApplication;
        application.reset (static_cast<VelmoraApplication*> (createApplication()));
        application->openStoresAndFolders();
    }

    void TearDown() override
    {
        juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
        application = nullptr;
        initialiser = nullptr;
    }

private:
    std::unique_ptr<juce::ScopedJuceInitialiser_GUI> initialiser;
    std::unique_ptr<VelmoraApplication> application;
};

void makeTestHome()
{
    char pattern[] = "/tmp/velmora-test-XXXXXX";
    auto* home = ::mkdtemp (pattern);

    if (home == nullptr)
        std::abort();

    ::setenv ("HOME", home, 1);
    ::unsetenv ("XDG_CONFIG_HOME");
    ::unsetenv ("XDG_DESKTOP_DIR");
    ::unsetenv ("XDG_RUNTIME_DIR");
    ::unsetenv ("XDG_CACHE_HOME");
    auto tmp = std::string (home) + "/tmp";
    ::mkdir (tmp.c_str(), 0700);
    ::setenv ("TMPDIR", tmp.c_str(), 1);
}
} // namespace

int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);

    if (::testing::GTEST_FLAG (list_tests))
        return RUN_ALL_TESTS();

    makeTestHome();
    ::testing::AddGlobalTestEnvironment (new ApplicationEnvironment());
    auto result = RUN_ALL_TESTS();

    TestSupport::getTestHome().deleteRecursively();
    return result;
}
