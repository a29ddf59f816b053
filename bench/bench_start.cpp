// A whole Start in the desktop program on a large JPEG, and how much of it is decoding the picture.
//   build/bench/tessarine_start_bench [photo.jpg] [h v]
// Without a photo, an 18-megapixel JPEG with smooth shading and fine detail is made first.
#include "core/paths.h"
#include "core/picture_loader.h"
#include "ui/main_window/frm_main.h"
#include "ui/platform/forms.h"
#include "ui/platform/message_box.h"
#include "ui/platform/text_box.h"
#include "ui/state/mod_vars.h"
#include "ui/windows/frm_scale.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

QString makePhoto(const QTemporaryDir& dir) {
    QImage img(5640, 3172, QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const double v =
                127 + 60 * std::sin(x / 300.0) * std::cos(y / 200.0) + 30 * std::sin((x + y) / 7.0);
            const int g = std::clamp(int(v), 0, 255);
            line[x] = qRgb(g, std::clamp(g + 20, 0, 255), std::clamp(255 - g, 0, 255));
        }
    }
    const QString p = dir.filePath("photo.jpg");
    img.save(p, "JPEG", 90);
    return p;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString photo = argc > 1 ? QString::fromLocal8Bit(argv[1]) : makePhoto(dir);
    const QString h = argc > 3 ? argv[2] : "8", v = argc > 3 ? argv[3] : "16";
    paths::setProgramFolder(dir.path());
    mb::setHandler([](const QString& text, int, const QString&) {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return mb::Ok;
    });

    FrmMain* main = frmMain();
    modVars().pictureFile = photo;
    main->txtAsciiTable->setText(
        QStringLiteral(" .'`^\",:;Il!i><~+_-?][}{1)(|\\/tfjrxnuvczXYUJCLQ0OZmwqpdbkhao*#MW&8%B@$"));
    frmScale()->txtHorizontal->setText(h);
    frmScale()->txtVertical->setText(v);
    main->mnuScalePicture_Click();

    std::vector<double> decode, whole;
    for (int i = 0; i < 7; ++i) {
        QElapsedTimer t;
        t.start();
        const QImage img = loadPictureFile(photo);
        decode.push_back(t.nsecsElapsed() / 1e6);
        t.restart();
        main->cmdStart_Click();
        whole.push_back(t.nsecsElapsed() / 1e6);
    }
    const double d = median(decode), w = median(whole);
    std::printf("picture %s, factors %sx%s\n", qPrintable(photo), qPrintable(h), qPrintable(v));
    std::printf("decode alone: %.1f ms   whole Start: %.1f ms   decoding share: %.0f%%\n", d, w, 100 * d / w);
    Forms::instance().destroyAll();
    return 0;
}
