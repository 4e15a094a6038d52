#include "feedback/feedback.h"

// The old value that Wow64DisableWow64FsRedirection hands back, while redirection is off.
static PVOID s_redirectionValue = nullptr;
static bool s_redirectionOff = false;

bool RunsUnderWow64()
{
    static const bool wow64 = [] {
        BOOL answer = FALSE;
        return IsWow64Process(GetCurrentProcess(), &answer) && answer;
    }();
    return wow64;
}

RedirectionOff::RedirectionOff(bool wanted)
{
    if (!wanted || s_redirectionOff || !RunsUnderWow64())
        return;
    turned_ = Wow64DisableWow64FsRedirection(&s_redirectionValue) != 0;
    s_redirectionOff = turned_;
}

RedirectionOff::~RedirectionOff()
{
    if (!turned_)
        return;
    Wow64RevertWow64FsRedirection(s_redirectionValue);
    s_redirectionOff = false;
}

RedirectionOn::RedirectionOn() : turned_(s_redirectionOff)
{
    if (turned_)
        Wow64RevertWow64FsRedirection(s_redirectionValue);
}

RedirectionOn::~RedirectionOn()
{
    if (turned_)
        Wow64DisableWow64FsRedirection(&s_redirectionValue);
}
