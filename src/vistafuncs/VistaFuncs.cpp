#include "vistafuncs/VistaFuncs.h"

#include <algorithm>

#ifdef _WIN32
#include <windows.h>
#endif

namespace quorral {
namespace {

constexpr unsigned EnglishUnitedStates = 1033;

#ifdef _WIN32
class CWindowsProbe final : public CPlatformProbe
{
public:
    int MajorVersion() override
    {
        OSVERSIONINFOA info{};
        info.dwOSVersionInfoSize = sizeof info;
#ifdef _MSC_VER
#pragma warning(push)
#pragma warning(disable : 4996)
#else
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
        GetVersionExA(&info);
#ifdef _MSC_VER
#pragma warning(pop)
#else
#pragma GCC diagnostic pop
#endif
        return static_cast<int>(info.dwMajorVersion);
    }
    int FrameWidth() override
    {
        return GetSystemMetrics(SM_CXFRAME);
    }
    int FrameHeight() override
    {
        return GetSystemMetrics(SM_CYFRAME);
    }
    unsigned ThreadLocale() override
    {
        return GetThreadLocale();
    }
    unsigned UserDefaultLocale() override
    {
        return GetUserDefaultLCID();
    }
    void SetThreadLocale(unsigned locale) override
    {
        ::SetThreadLocale(locale);
        // Formats are read from the thread locale whenever they are needed, so there is no cached
        // copy to reload.
    }
};
#else
class CNoWindowsProbe final : public CPlatformProbe
{
public:
    int MajorVersion() override { return 0; }
    int FrameWidth() override { return 0; }
    int FrameHeight() override { return 0; }
    unsigned ThreadLocale() override { return 0; }
    unsigned UserDefaultLocale() override { return 0; }
    void SetThreadLocale(unsigned) override {}
};
#endif

} // namespace

std::unique_ptr<CPlatformProbe> MakeSystemProbe()
{
#ifdef _WIN32
    return std::make_unique<CWindowsProbe>();
#else
    return std::make_unique<CNoWindowsProbe>();
#endif
}

CVistaFuncs::CVistaFuncs(CPlatformProbe& probe)
    : FMajorVersion(probe.MajorVersion()), FExtraWidth(std::max(0, (probe.FrameWidth() - 4) * 2)),
      FExtraHeight(std::max(0, probe.FrameHeight() - 4))
{
    if (FMajorVersion > 7) {
        const unsigned thread = probe.ThreadLocale();
        const unsigned user = probe.UserDefaultLocale();
        if (thread == EnglishUnitedStates && user != thread) {
            probe.SetThreadLocale(user);
        }
    }
}

void CVistaFuncs::Adjust(int& width, int& height) const
{
    if (IsVistaOrLater()) {
        width += FExtraWidth;
        height += FExtraHeight;
    }
}

const CVistaFuncs& VistaFuncs()
{
    static const CVistaFuncs instance(*MakeSystemProbe());
    return instance;
}

bool IsVistaOrLater()
{
    return VistaFuncs().IsVistaOrLater();
}

} // namespace quorral
