#pragma once

#include <memory>

namespace quorral {

// The platform facts the window adjustments depend on. The real one asks Windows; elsewhere it
// reports no Windows version, so nothing is adjusted.
class CPlatformProbe
{
public:
    virtual ~CPlatformProbe() = default;
    // The Windows major version; 0 when unknown or not Windows.
    virtual int MajorVersion() = 0;
    // The sizing frame's width and height in pixels.
    virtual int FrameWidth() = 0;
    virtual int FrameHeight() = 0;
    virtual unsigned ThreadLocale() = 0;
    virtual unsigned UserDefaultLocale() = 0;
    // Makes `locale` the thread's locale and reloads the date, time, number and currency formats.
    virtual void SetThreadLocale(unsigned locale) = 0;
};

std::unique_ptr<CPlatformProbe> MakeSystemProbe();

// On Windows 6 (Vista) and later every window grows once by what its frame is wider than 4 pixels,
// and an English (US) thread locale gives way to a different user default from version 8 on.
class CVistaFuncs
{
public:
    explicit CVistaFuncs(CPlatformProbe& probe);

    bool IsVistaOrLater() const { return FMajorVersion >= 6; }
    // The size a window of the given size is to have.
    void Adjust(int& width, int& height) const;

    int FMajorVersion = 0;
    int FExtraWidth = 0;
    int FExtraHeight = 0;
};

// The one instance, measured on first use; the application makes it before its first window.
const CVistaFuncs& VistaFuncs();
bool IsVistaOrLater();

} // namespace quorral
