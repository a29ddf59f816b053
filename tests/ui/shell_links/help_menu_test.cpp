#include "core/paths.h"
#include "support/fixture.h"
#include "ui/main_window/frm_main.h"
#include "ui/platform/message_box.h"
#include "ui/shell_links/mod_std_clients.h"

#include <QAction>

namespace {

using HelpMenu = StartedProgram;

TEST_F(HelpMenu, ShellReceivesExactlyTheseAddresses) {
    main->mnuHelpHelp->trigger();
    main->mnuHelpHomepage->trigger();
    main->mnuHelpEmail->trigger();
    main->mnuHelpBugreport->trigger();
    ASSERT_EQ(shellCalls.size(), 4u);
    EXPECT_EQ(shellCalls[0].file, folder() + "/help.html");
    EXPECT_EQ(shellCalls[0].directory, folder());
    EXPECT_EQ(shellCalls[0].owner, main);
    EXPECT_EQ(shellCalls[1].file, "http://www.tessarine.example.org/?category=8&item=40");
    EXPECT_EQ(shellCalls[2].file, "mailto:support@tessarine.example.org?Subject=&Body=");
    EXPECT_EQ(shellCalls[2].owner, nullptr);
    EXPECT_EQ(shellCalls[2].directory, "");
    EXPECT_EQ(shellCalls[3].file, "mailto:support@tessarine.example.org?Subject=[Bugreport] - "
                                  "&Body=Bugreport: Tessarine [Version 0.2 build 17]");
    for (const auto& call : shellCalls) {
        EXPECT_EQ(call.operation, "Open");
        EXPECT_EQ(call.parameters, "");
        EXPECT_EQ(call.show, 1);
    }
    EXPECT_EQ(main->mnuHelpHelp->shortcut(), QKeySequence(Qt::Key_F1));
}

TEST_F(HelpMenu, WebAddressesGetTheirPrefixOnce) {
    const std::tuple<QString, QString, QString> rows[] = {
        {"example.org/x", "", "http://example.org/x"},
        {"http://example.org", "", "http://example.org"},
        {"HTTP://example.org", "", "http://HTTP://example.org"},
        {"/opt/t/help.html", "local", "/opt/t/help.html"},
        {"help.html", "Local", "http://help.html"}};
    for (const auto& [in, mode, out] : rows) {
        QString address = in;
        modStdClients::openWebBrowser(nullptr, address, mode);
        EXPECT_EQ(address, out) << qPrintable(in);
        EXPECT_EQ(shellCalls.back().file, out);
    }
}

TEST_F(HelpMenu, HelpFromTheRootFolderKeepsTheDoubleSeparator) {
    paths::setProgramFolder("/");
    main->mnuHelpHelp_Click();
    EXPECT_EQ(shellCalls.back().file, "//help.html");
}

TEST_F(HelpMenu, AboutShowsSevenLines) {
    main->mnuHelpAbout->trigger();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].style, mb::Information);
    EXPECT_EQ(boxes[0].title, "Tessarine");
    const QStringList lines = boxes[0].text.split("\r\n");
    ASSERT_EQ(lines.size(), 7);
    EXPECT_EQ(lines[0], "Tessarine");
    EXPECT_EQ(lines[1], "Version 0.2 build 17");
    EXPECT_FALSE(lines[2].isEmpty());
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[4], QString(30, '_'));
    EXPECT_EQ(lines[5], "www.tessarine.example.org");
    EXPECT_EQ(lines[6], "support@tessarine.example.org");
}

} // namespace
