#include "vistafuncs/VistaFuncs.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace quorral {
namespace {

class CFakeProbe final : public CPlatformProbe
{
public:
    CFakeProbe(int major, int frame, unsigned thread = 1033, unsigned user = 1033)
        : FMajor(major), FFrame(frame), FThread(thread), FUser(user)
    {}
    int MajorVersion() override { return FMajor; }
    int FrameWidth() override { return FFrame; }
    int FrameHeight() override { return FFrame; }
    unsigned ThreadLocale() override { return FThread; }
    unsigned UserDefaultLocale() override { return FUser; }
    void SetThreadLocale(unsigned locale) override { SetTo = locale; }

    std::optional<unsigned> SetTo;

private:
    int FMajor;
    int FFrame;
    unsigned FThread;
    unsigned FUser;
};

TEST(VistaFuncs, WindowsGrowByTheFrameAllowanceFromVersionSixOn)
{
    struct Case
    {
        int major;
        int frame;
        int width;
        int height;
    };
    const Case cases[] = {
        {5, 8, 926, 441},                    // too old: stored sizes stay
        {6, 8, 934, 445},                    // two frames wide, one frame high
        {10, 6, 930, 443}, {6, 4, 926, 441}, // no allowance at 4 pixels
        {10, 2, 926, 441},                   // never shrinks
        {0, 8, 926, 441},                    // version unknown
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "version " << c.major << ", frame " << c.frame);
        CFakeProbe probe(c.major, c.frame);
        const CVistaFuncs funcs(probe);
        int width = 926;
        int height = 441;
        funcs.Adjust(width, height);
        EXPECT_EQ(width, c.width);
        EXPECT_EQ(height, c.height);
    }
}

TEST(VistaFuncs, EnglishThreadLocaleGivesWayToTheUserDefaultFromVersionEightOn)
{
    constexpr unsigned EnglishUs = 1033;
    constexpr unsigned EnglishUk = 2057;
    struct Case
    {
        int major;
        unsigned thread;
        unsigned user;
        std::optional<unsigned> setTo;
    };
    const Case cases[] = {
        {10, EnglishUs, EnglishUk, EnglishUk},    {8, EnglishUs, EnglishUk, EnglishUk},
        {7, EnglishUs, EnglishUk, std::nullopt},  {10, EnglishUs, EnglishUs, std::nullopt},
        {10, EnglishUk, EnglishUs, std::nullopt}, {5, EnglishUs, EnglishUk, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "version " << c.major << ", thread " << c.thread << ", user " << c.user);
        CFakeProbe probe(c.major, 4, c.thread, c.user);
        const CVistaFuncs funcs(probe);
        EXPECT_EQ(probe.SetTo, c.setTo);
    }
}

#ifndef _WIN32
TEST(VistaFuncs, ThisPlatformChangesNothingUnlessItIsWindows)
{
    EXPECT_FALSE(IsVistaOrLater());
    int width = 926;
    int height = 441;
    VistaFuncs().Adjust(width, height);
    EXPECT_EQ(width, 926);
    EXPECT_EQ(height, 441);
}
#else
TEST(VistaFuncs, TheSystemProbeReadsThisWindows)
{
    const std::unique_ptr<CPlatformProbe> probe = MakeSystemProbe();
    // Every Windows that runs this is Vista or later, and its windows have a sizing frame.
    EXPECT_GE(probe->MajorVersion(), 6);
    EXPECT_GT(probe->FrameWidth(), 0);
    EXPECT_GT(probe->FrameHeight(), 0);
    EXPECT_TRUE(IsVistaOrLater());
    EXPECT_NE(probe->UserDefaultLocale(), 0u);

    constexpr unsigned EnglishUk = 2057;
    const unsigned before = probe->ThreadLocale();
    ASSERT_NE(before, 0u);
    probe->SetThreadLocale(EnglishUk);
    EXPECT_EQ(probe->ThreadLocale(), EnglishUk);
    probe->SetThreadLocale(before);
    EXPECT_EQ(probe->ThreadLocale(), before);
}
#endif

} // namespace
} // namespace quorral
