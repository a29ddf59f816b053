#include "support/fixture.h"
#include "ui/main_window/frm_main.h"
#include "ui/platform/text_box.h"

#include <QCoreApplication>
#include <QMouseEvent>

namespace {

using FontSelection = StartedProgram;

TEST_F(FontSelection, FixedAndVariablePitchDialogs) {
    main->txtFont->setText("Liberation Mono");
    dialogs->fonts = {CommonDialog::FontChoice{"DejaVu Sans Mono", 10.5},
                      CommonDialog::FontChoice{"DejaVu Sans", 9}};
    main->cmdSelectFont_Click();
    ASSERT_EQ(dialogs->fontRequests.size(), 1u);
    EXPECT_EQ(dialogs->fontRequests[0].first.name, "Liberation Mono");
    EXPECT_TRUE(dialogs->fontRequests[0].second) << "only fixed-pitch fonts listed";
    EXPECT_EQ(CommonDialog::instance().flags, 16387);
    EXPECT_EQ(main->txtFont->text(), "DejaVu Sans Mono");
    EXPECT_EQ(main->txtFontSize->text(), "10.5");
    main->mnuSeleftPropFont->trigger();
    EXPECT_FALSE(dialogs->fontRequests[1].second);
    EXPECT_EQ(CommonDialog::instance().flags, 3);
    EXPECT_EQ(main->txtFont->text(), "DejaVu Sans");
    EXPECT_EQ(main->txtFontSize->text(), "9");
}

TEST_F(FontSelection, CancelStillTakesWhatTheDialogHolds) {
    dialogs->fonts = {CommonDialog::FontChoice{"Courier New", 12}, std::nullopt};
    main->mnuSelectFont->trigger();
    main->txtFontSize->setText("8");
    main->txtFont->setText("Preset Name");
    main->mnuSelectFont_Click(); // cancelled
    EXPECT_EQ(main->txtFont->text(), "Preset Name");
    EXPECT_EQ(main->txtFontSize->text(), "12");
}

TEST_F(FontSelection, ClickingIntoTheFontBoxOpensTheFixedPitchDialog) {
    main->txtFont->setText("Courier New");
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(3, 3), QPointF(3, 3), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(main->txtFont, &press);
    ASSERT_EQ(dialogs->fontRequests.size(), 1u);
    EXPECT_EQ(dialogs->fontRequests[0].first.name, "Courier New");
    EXPECT_TRUE(dialogs->fontRequests[0].second);
}

TEST_F(FontSelection, SizeBoxHoldsANonNegativeNumber) {
    const std::pair<const char*, const char*> rows[] = {{"12abc", "12"},     {"-7", "7"},     {"", "0"},
                                                        {"8.", "8"},         {"-", "0"},      {" 9", "9"},
                                                        {"1e308", "1E+308"}, {"7.25", "7.25"}};
    for (auto [typed, held] : rows) {
        main->txtFontSize->setText(typed);
        EXPECT_EQ(main->txtFontSize->text(), held) << typed;
    }
}

TEST_F(FontSelection, ArrowKeysStepTheSize) {
    struct Row {
        const char* before;
        int key, shift;
        const char* after;
    };
    const Row rows[] = {{"5", 40, 0, "4"},   {"4", 40, 0, "4"}, {"12", 40, 1, "4"},
                        {"8", 38, 1, "18"},  {"8", 38, 3, "9"}, {"3", 38, 0, "4"},
                        {"30", 40, 1, "20"}, {"8", 65, 1, "8"}, {"2", 40, 0, "4"}};
    for (const Row& r : rows) {
        main->txtFontSize->setText(r.before);
        main->txtFontSize_KeyDown(r.key, r.shift);
        EXPECT_EQ(main->txtFontSize->text(), r.after) << r.before << " key " << r.key << " shift " << r.shift;
    }
}

} // namespace
