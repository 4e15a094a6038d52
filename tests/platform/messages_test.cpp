// QemError and QemInfo: every message number has a text of its own, in a box captioned
// "Orvenna" with the icon of its kind. The boxes are answered by a hook.
#include "platform/qemcom95.h"
#include "tests/platform/platform_test_util.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace
{

struct ShownBox
{
    std::string caption;
    std::string text;
    HICON icon = nullptr;
};

// The box's text is its longest static; the icon is the static that holds one.
ShownBox ReadBox(HWND box)
{
    ShownBox shown;
    shown.caption = WindowText(box);
    for (const std::string& text : StaticTexts(box))
    {
        if (text.size() > shown.text.size())
            shown.text = text;
    }
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    {
        auto icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
        if (icon)
            shown.icon = icon;
    }
    return shown;
}

ShownBox Show(void(WINAPI* show)(int), int number)
{
    ShownBox shown;
    DialogAnswerer answerer([&](HWND box) {
        shown = ReadBox(box);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    show(number);
    EXPECT_EQ(1, answerer.Count()) << "one box for message " << number;
    return shown;
}

struct Message
{
    void(WINAPI* show)(int);
    int number;
    LPCSTR icon;
};

const Message kMessages[] = {
    {QemError, QEM_ERR_NO_ACCELERATORS, IDI_HAND},       {QemError, QEM_ERR_TAMBRIL_START, IDI_HAND},
    {QemError, QEM_ERR_QUORSET_START, IDI_HAND},         {QemError, QEM_ERR_SCAN_OPEN, IDI_HAND},
    {QemError, QEM_ERR_OUTPUT_OPEN, IDI_HAND},           {QemError, QEM_ERR_CHILD_WINDOWS, IDI_HAND},
    {QemError, QEM_ERR_WINZIP_START, IDI_HAND},          {QemInfo, QEM_INFO_NO_EXTENSION, IDI_ASTERISK},
    {QemInfo, QEM_INFO_NO_CURRENT_FILE, IDI_ASTERISK},   {QemInfo, QEM_INFO_NO_SELECTION, IDI_ASTERISK},
    {QemInfo, QEM_INFO_NO_CLOSE_SCANNING, IDI_ASTERISK},
};

TEST(MessagesTest, EveryNumberHasTextOfItsOwn)
{
    std::set<std::string> texts;
    for (const Message& message : kMessages)
    {
        ShownBox shown = Show(message.show, message.number);
        EXPECT_EQ("Orvenna", shown.caption) << message.number;
        EXPECT_GT(shown.text.size(), 20u) << message.number << ": " << shown.text;
        EXPECT_TRUE(texts.insert(shown.text).second) << message.number << " repeats: " << shown.text;
        EXPECT_EQ(LoadIconA(nullptr, message.icon), shown.icon) << "icon of message " << message.number;
    }
}

TEST(MessagesTest, NamesTextsTheySay)
{
    EXPECT_NE(std::string::npos, Show(QemError, QEM_ERR_TAMBRIL_START).text.find("TAMBRIL.EXE"));
    EXPECT_NE(std::string::npos, Show(QemError, QEM_ERR_QUORSET_START).text.find("QUORSET.EXE"));
    EXPECT_NE(std::string::npos, Show(QemError, QEM_ERR_WINZIP_START).text.find("WinZip"));
}

TEST(MessagesTest, UnknownNumberIsNamedInGeneralText)
{
    EXPECT_NE(std::string::npos, Show(QemError, 4242).text.find("4242"));
    EXPECT_NE(std::string::npos, Show(QemInfo, 4243).text.find("4243"));
}

TEST(MessagesTest, BoxIsOwnedByActiveWindow)
{
    TestWindow owner(50, 50, 300, 200);
    SetActiveWindow(owner.Get());
    HWND boxOwner = nullptr;
    DialogAnswerer answerer([&](HWND box) {
        boxOwner = GetWindow(box, GW_OWNER);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    QemInfo(QEM_INFO_NO_SELECTION);
    EXPECT_EQ(owner.Get(), boxOwner);
}

} // namespace
