#include "support/fixture.h"
#include "ui/main_window/frm_main.h"
#include "ui/platform/forms.h"
#include "ui/platform/message_box.h"
#include "ui/platform/text_box.h"
#include "ui/state/mod_vars.h"
#include "ui/windows/frm_scale.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QKeyEvent>

namespace {

using ScaleWindow = StartedProgram;

struct KeyRow {
    const char* name;
    const char* before;
    int key;
    int shift;
    const char* after;
};

class ScaleArrowKeys : public ScaleWindow, public ::testing::WithParamInterface<KeyRow> {};

TEST_P(ScaleArrowKeys, StepTheFactor) {
    const KeyRow& r = GetParam();
    for (TextBox* field : {frmScale()->txtHorizontal, frmScale()->txtVertical}) {
        field->setText(r.before);
        frmScale()->factor_KeyDown(field, r.key, r.shift);
        EXPECT_EQ(field->text(), r.after) << qPrintable(field->objectName());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ScaleArrowKeys,
    ::testing::Values(KeyRow{"UpOne", "1", 38, 0, "2"}, KeyRow{"ShiftUp", "1", 38, 1, "11"},
                      KeyRow{"CtrlShiftUp", "1", 38, 3, "2"}, KeyRow{"AltShiftUp", "1", 38, 5, "2"},
                      KeyRow{"DownAtOne", "1", 40, 0, "1"}, KeyRow{"ShiftDownFive", "5", 40, 1, "1"},
                      KeyRow{"DownFraction", "1.5", 40, 0, "1"}, KeyRow{"NoUpperBound", "999", 38, 0, "1000"},
                      KeyRow{"FractionKept", "2.5", 38, 0, "3.5"}, KeyRow{"ShiftDown", "25", 40, 1, "15"},
                      KeyRow{"OtherKey", "7", 65, 0, "7"}, KeyRow{"NotANumber", "", 38, 0, ""},
                      KeyRow{"Letters", "x", 40, 1, "x"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScaleWindow, LeavingAFieldLeavesAWholeNumberOfAtLeastOne) {
    const std::pair<const char*, const char*> rows[] = {
        {"2.9", "2"}, {"-2.1", "3"}, {"0.7", "1"},  {"-3", "3"}, {"", "1"},
        {"abc", "1"}, {"0", "1"},    {"-0.5", "1"}, {"-0", "1"}, {"12", "12"}};
    for (auto [before, after] : rows) {
        frmScale()->txtVertical->setText(before);
        frmScale()->factor_LostFocus(frmScale()->txtVertical);
        EXPECT_EQ(frmScale()->txtVertical->text(), after) << before;
    }
}

TEST_F(ScaleWindow, RealKeyPressesReachTheHandler) {
    FrmScale* scale = frmScale();
    scale->txtHorizontal->setText("4");
    QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::ShiftModifier);
    QCoreApplication::sendEvent(scale->txtHorizontal, &up);
    EXPECT_EQ(scale->txtHorizontal->text(), "14");
}

TEST_F(ScaleWindow, MenuEntrySwitchesScalingOnAndOff) {
    EXPECT_FALSE(main->mnuScalePicture->isChecked());
    main->mnuScalePicture->trigger(); // as the user chooses it
    FrmScale* scale = frmScale();
    EXPECT_TRUE(main->mnuScalePicture->isChecked());
    EXPECT_TRUE(scale->chkScalingEnabled->isChecked());
    EXPECT_TRUE(scale->txtHorizontal->isEnabled());
    EXPECT_TRUE(scale->isVisible());
    EXPECT_FALSE(modVars().scaleCheckSyncing);

    main->mnuScalePicture->trigger();
    EXPECT_FALSE(main->mnuScalePicture->isChecked());
    EXPECT_FALSE(scale->chkScalingEnabled->isChecked());
    EXPECT_FALSE(scale->txtHorizontal->isEnabled());
    EXPECT_FALSE(scale->txtVertical->isEnabled());
    EXPECT_TRUE(scale->isVisible()) << "an open window stays open";
}

TEST_F(ScaleWindow, MenuEntryRestoresAMinimisedWindowWithoutMovingIt) {
    main->mnuScalePicture_Click();
    FrmScale* scale = frmScale();
    scale->move(40, 50);
    scale->setWindowState(Qt::WindowMinimized);
    main->mnuScalePicture_Click(); // off; the window stays
    main->mnuScalePicture_Click(); // on again
    EXPECT_FALSE(scale->windowState() & Qt::WindowMinimized);
    EXPECT_EQ(scale->pos(), QPoint(40, 50));
}

TEST_F(ScaleWindow, MenuEntryBringsAMaximisedWindowBackToNormal) {
    main->mnuScalePicture_Click();
    FrmScale* scale = frmScale();
    // Maximised and open: switching on again makes it normal.
    scale->setWindowState(Qt::WindowMaximized);
    main->mnuScalePicture_Click();
    main->mnuScalePicture_Click();
    EXPECT_EQ(scale->windowState(), Qt::WindowNoState);
    // Maximised, then closed: opened again, it is normal too.
    scale->setWindowState(Qt::WindowMaximized);
    answers = {mb::Ok};
    scale->close();
    ASSERT_FALSE(scale->isVisible());
    main->mnuScalePicture_Click();
    EXPECT_TRUE(scale->isVisible());
    EXPECT_EQ(scale->windowState(), Qt::WindowNoState);
}

TEST_F(ScaleWindow, CheckBoxKeepsMenuAndFieldsInLine) {
    main->mnuScalePicture_Click();
    FrmScale* scale = frmScale();
    scale->chkScalingEnabled->click();
    EXPECT_FALSE(main->mnuScalePicture->isChecked());
    EXPECT_FALSE(scale->txtHorizontal->isEnabled());
    EXPECT_TRUE(scale->isVisible());
    scale->chkScalingEnabled->click();
    EXPECT_TRUE(main->mnuScalePicture->isChecked());
    EXPECT_TRUE(scale->txtVertical->isEnabled());
}

TEST_F(ScaleWindow, ValuesSetByTheProgramUnderTheGuardAreNotClicks) {
    FrmScale* scale = frmScale();
    modVars().scaleCheckSyncing = true;
    scale->chkScalingEnabled->setChecked(true);
    modVars().scaleCheckSyncing = false;
    EXPECT_FALSE(main->mnuScalePicture->isChecked());
    EXPECT_TRUE(scale->txtHorizontal->isEnabled()) << "untouched by the ignored click";
}

TEST_F(ScaleWindow, LoadedHiddenByTheSettingsItMirrorsTheMenu) {
    FrmScale* scale = frmScale();
    EXPECT_FALSE(scale->isVisible());
    EXPECT_FALSE(scale->chkScalingEnabled->isChecked());
    EXPECT_EQ(scale->txtHorizontal->text(), "1");
}

TEST_F(ScaleWindow, CloseAsksOnceCancelKeepsItOpen) {
    main->mnuScalePicture_Click();
    FrmScale* scale = frmScale();
    answers = {mb::Cancel};
    scale->close();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].style, 33);
    EXPECT_EQ(boxes[0].title, "Tessarine");
    EXPECT_EQ(boxes[0].text, "If you close the Scale-Window, scaling will be disabled automatically.\r\n\r\n"
                             "Do you want to disable scaling?");
    EXPECT_TRUE(scale->isVisible());
    EXPECT_TRUE(main->mnuScalePicture->isChecked());

    scale->close(); // no second question: scaling off, window hidden
    settle();
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_FALSE(scale->isVisible());
    EXPECT_FALSE(main->mnuScalePicture->isChecked());
    EXPECT_EQ(Forms::instance().find<FrmScale>(), scale) << "closing only hides";
}

TEST_F(ScaleWindow, CloseWithOkSwitchesScalingOffAndLaterClosesAskNothing) {
    main->mnuScalePicture_Click();
    FrmScale* scale = frmScale();
    scale->close();
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_FALSE(scale->isVisible());
    EXPECT_FALSE(main->mnuScalePicture->isChecked());
    EXPECT_TRUE(scale->chkScalingEnabled->isChecked())
        << "the box is left until the menu entry next opens it";
    main->mnuScalePicture_Click();
    EXPECT_TRUE(scale->isVisible());
    EXPECT_TRUE(scale->chkScalingEnabled->isChecked());
    scale->close();
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_FALSE(main->mnuScalePicture->isChecked());
}

} // namespace
