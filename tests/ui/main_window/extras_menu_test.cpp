#include "support/fixture.h"
#include "support/pictures.h"
#include "ui/main_window/frm_main.h"
#include "ui/platform/text_box.h"
#include "ui/state/mod_vars.h"
#include "ui/windows/frm_ascii.h"
#include "ui/windows/frm_scale.h"
#include "ui/windows/levels_dialog.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QPainter>
#include <QSpinBox>
#include <QTimer>

namespace {

using ExtrasMenu = ProgramTest;

// 8 x 16 blocks, each dark on its left half (or its right).
QImage halves(bool darkLeft) {
    QImage img(80, 160, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    for (int x = darkLeft ? 0 : 4; x < img.width(); x += 8)
        p.fillRect(x, 0, 4, img.height(), Qt::black);
    return img;
}

TEST_F(ExtrasMenu, MappingsDriveStartAndThePositionOneStaysTheDescribedOne) {
    writeFile("Tessarine.ini", "");
    FrmMain* main = start();
    main->txtAsciiTable->setText(" ][");
    main->txtFontSize->setText("16"); // glyphs large enough to tell a bracket's side
    frmScale()->txtHorizontal->setText("8");
    frmScale()->txtVertical->setText("16");
    main->mnuScalePicture_Click();
    EXPECT_TRUE(main->mnuExtrasPosition->isChecked());
    EXPECT_FALSE(main->mnuExtrasDither->isEnabled()) << "nothing to dither in the described mapping";
    const auto run = [&](bool darkLeft) {
        modVars().pictureFile = testpic::save(halves(darkLeft), path(darkLeft ? "left.bmp" : "right.bmp"));
        main->cmdStart_Click();
        return frmAscii()->text();
    };
    const QString described = run(true);
    ASSERT_FALSE(described.isEmpty());

    main->mnuExtrasShape->trigger();
    EXPECT_TRUE(main->mnuExtrasShape->isChecked());
    EXPECT_FALSE(main->mnuExtrasPosition->isChecked()) << "one mapping at a time";
    EXPECT_TRUE(main->mnuExtrasDither->isEnabled());
    const QString left = run(true), right = run(false);
    EXPECT_EQ(left.count(u'['), 6 * 6) << qPrintable(left);
    EXPECT_EQ(right.count(u']'), 6 * 6) << qPrintable(right);
    EXPECT_EQ(left.count(u'\n'), 6) << "the described lines and line ends";

    main->mnuExtrasPosition->trigger();
    EXPECT_EQ(run(true), described);
}

TEST_F(ExtrasMenu, ChoicesAreRememberedBesideTheElevenSettingsLines) {
    writeFile("Tessarine.ini", "");
    FrmMain* main = start();
    shutDown(main);
    EXPECT_FALSE(QFile::exists(path("Extras.ini"))) << "nothing chosen, nothing written";

    resetModVars();
    main = start();
    main->mnuExtrasInk->trigger();
    main->mnuExtrasDither->trigger();
    main->mnuExtrasAutoLevels->trigger();
    QTimer::singleShot(0, main, [] {
        auto* dialog = qobject_cast<LevelsDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->brightness->setValue(10);
        dialog->contrast->setValue(-20);
        dialog->gamma->setValue(1.5);
        dialog->accept();
    });
    main->mnuExtrasLevels->trigger();
    shutDown(main);
    EXPECT_EQ(readFile("Tessarine.ini").count("\r\n"), 11);

    resetModVars();
    main = start();
    EXPECT_TRUE(main->mnuExtrasInk->isChecked());
    EXPECT_TRUE(main->mnuExtrasDither->isChecked());
    EXPECT_TRUE(main->mnuExtrasAutoLevels->isChecked());
    EXPECT_EQ(main->extras().levels, (choice::Levels{true, 10, -20, 1.5}));
    // Cancel keeps the values; the described mapping takes dithering with it.
    QTimer::singleShot(0, main, [] {
        auto* dialog = qobject_cast<LevelsDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->gamma->setValue(3);
        dialog->reject();
    });
    main->mnuExtrasLevels->trigger();
    EXPECT_EQ(main->extras().levels.gamma, 1.5);
    main->mnuExtrasPosition->trigger();
    EXPECT_FALSE(main->mnuExtrasDither->isChecked());
    EXPECT_FALSE(main->extras().dither);
    // A file that cannot be written is reported at shut-down, as the settings file is.
    QFile::remove(path("Extras.ini"));
    QDir(folder()).mkdir("Extras.ini");
    boxes.clear();
    shutDown(main);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.contains("Extras.ini")) << qPrintable(boxes[0].text);
}

} // namespace
