#include "SkinImages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "ArtKit.h"
#include "ControlArt.h"
#include "GlyphArt.h"
#include "KeyArt.h"
#include "PanelArt.h"
#include "SkinGeometry.h"
#include "SkinPalette.h"

namespace {

struct MainKey {
    const char* name;
    QRect rect;
    QColor lamp;
    bool litFace;
    bool lampAlwaysOn;
    Glyph glyph;
    double radius;
};

void PutLe(QByteArray& out, quint32 value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

// A one-image icon file with 32-bit colour and alpha. Written here rather than by Qt's
// writer, whose mask rows carry unset padding bytes, so the file reproduces byte for byte.
QByteArray IconFile(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width();
    const int h = image.height();
    const int maskStride = ((w + 31) / 32) * 4;
    const quint32 pixelBytes = w * h * 4;
    const quint32 maskBytes = maskStride * h;
    QByteArray out;
    PutLe(out, 0, 2); // icon directory: reserved, type 1 (icon), one image
    PutLe(out, 1, 2);
    PutLe(out, 1, 2);
    PutLe(out, w, 1); // directory entry
    PutLe(out, h, 1);
    PutLe(out, 0, 2);
    PutLe(out, 1, 2);
    PutLe(out, 32, 2);
    PutLe(out, 40 + pixelBytes + maskBytes, 4);
    PutLe(out, 6 + 16, 4);
    PutLe(out, 40, 4); // bitmap header: the height counts colour and mask rows
    PutLe(out, w, 4);
    PutLe(out, 2 * h, 4);
    PutLe(out, 1, 2);
    PutLe(out, 32, 2);
    PutLe(out, 0, 4);
    PutLe(out, pixelBytes + maskBytes, 4);
    PutLe(out, 0, 4);
    PutLe(out, 0, 4);
    PutLe(out, 0, 4);
    PutLe(out, 0, 4);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            PutLe(out, image.pixel(x, y), 4); // 0xAARRGGBB is B, G, R, A in the file
        }
    }
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(maskStride, '\0');
        for (int x = 0; x < w; ++x) {
            if (qAlpha(image.pixel(x, y)) == 0) {
                row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
            }
        }
        out.append(row);
    }
    return out;
}

} // namespace

SkinImages::SkinImages() {
    // Every image is drawn twice from the same code: once as it is, once at twice the size
    // for screens of high density, its name marked "@2x".
    for (const double scale : {1.0, 2.0}) {
        const art::ScaleScope scope(scale);
        const QImage background = PanelArt::MainWindow();
        Add("Backgrounds/DlgMain.bmp", background);
        AddMainKeys(background);
        AddPanelArt();
        AddControlArt();
    }
}

QString SkinImages::TwinPath(const QString& path) {
    const int dot = path.lastIndexOf('.');
    return dot < 0 ? path + "@2x" : path.left(dot) + "@2x" + path.mid(dot);
}

void SkinImages::Add(const QString& path, const QImage& image) {
    images_[art::Scale() == 1 ? path : TwinPath(path)] = image;
}

QImage SkinImages::Get(const QString& path) const {
    const auto it = images_.find(path);
    return it == images_.end() ? QImage() : it->second;
}

void SkinImages::AddMainKeys(const QImage& background) {
    using namespace geo;
    const QColor none;
    const std::vector<MainKey> keys{
        {"Connect", kConnect, pal::kGreen, false, false, {}, 5},
        {"Disconnect", kConnect, pal::kGreen, false, true, {}, 5},
        {"Bypass", kBypass, pal::kRedKey, true, false, {}, 5},
        {"Online", kOnline, pal::kGreen, true, false, {}, 5},
        {"Agc", kAgc, pal::kAmber, true, false, {}, 5},
        {"Io", kIo, pal::kAmber, true, false, {}, 5},
        {"A", kA, pal::kBlue, true, false, {}, 5},
        {"B", kB, pal::kBlue, true, false, {}, 5},
        {"Menu", kMenu, pal::kAmber, true, false, {}, 5},
        {"Presets", kPresets, pal::kAmber, true, false, {}, 5},
        {"History", kHistory, pal::kAmber, true, false, {}, 5},
        {"Minimize", kMinimize, none, false, false, GlyphArt::Minimize, 4},
        {"Exit", kExit, none, false, false, GlyphArt::Power, 4},
        {"ScrollUp", kScrollUp, none, false, false, GlyphArt::ArrowUp, 3},
        {"ScrollDown", kScrollDown, none, false, false, GlyphArt::ArrowDown, 3},
    };
    const std::vector<std::pair<const char*, Glyph>> presetKeys{
        {"PresetLoad", GlyphArt::PresetLoad},         {"PresetSave", GlyphArt::PresetSave},
        {"PresetRename", GlyphArt::PresetRename},     {"PresetLoadFile", GlyphArt::PresetLoadFile},
        {"PresetSaveFile", GlyphArt::PresetSaveFile},
    };
    auto addKey = [&](const QString& name, const QRect& rect, const KeyLook& look,
                      const Glyph& glyph) {
        const QImage under = art::Cut(background, rect);
        for (KeyState state : kKeyStates) {
            Add(QString("Buttons/%1_%2.bmp").arg(name, KeyArt::FileSuffix(state)),
                KeyArt::Key(rect.size(), state, look, under, glyph));
        }
    };
    for (const MainKey& k : keys) {
        KeyLook look;
        look.lamp = k.lamp;
        look.litFace = k.litFace;
        look.lampAlwaysOn = k.lampAlwaysOn;
        look.radius = k.radius;
        Glyph glyph = k.glyph;
        if (glyph) {
            // Icons keep a fixed size whatever the key's size.
            glyph = [g = k.glyph](QPainter& p, const QRectF& face, const QColor& ink) {
                const double side = std::min(18.0, std::min(face.width(), face.height()) - 4);
                g(p, QRectF(face.center().x() - side / 2, face.center().y() - side / 2, side, side),
                  ink);
            };
        }
        addKey(k.name, k.rect, look, glyph);
    }
    for (std::size_t i = 0; i < presetKeys.size(); ++i) {
        const QRect rect(kPresetKeyX[i], kPresetKeyY, kPresetKeyW, kPresetKeyH);
        KeyLook look;
        look.radius = 4;
        const Glyph g = presetKeys[i].second;
        addKey(presetKeys[i].first, rect, look,
               [g](QPainter& p, const QRectF& face, const QColor& ink) {
                   g(p, QRectF(face.center().x() - 10, face.center().y() - 10, 20, 20), ink);
               });
    }
}

void SkinImages::AddPanelArt() {
    Add("Backgrounds/Settings.bmp", PanelArt::Settings());
    Add("Backgrounds/Page.bmp", PanelArt::Page());
    Add("Backgrounds/Separator.bmp", PanelArt::Separator());
    Add("WaitDlg/WaitBk.bmp", PanelArt::Wait());
    Add("Backgrounds/MsgBox.bmp", PanelArt::MessageBox());
    const std::vector<std::pair<const char*, char>> marks{
        {"Information", 'i'}, {"Warning", '!'}, {"Error", 'x'}, {"Question", '?'}};
    for (const auto& [name, kind] : marks) {
        Add(QString("Icons/Msg%1.bmp").arg(name), PanelArt::MessageMark(kind));
    }
    Add("Leds/Background.bmp", PanelArt::Leds(PanelArt::MeterView::Offline));
    Add("Leds/BackgroundAgc.bmp", PanelArt::Leds(PanelArt::MeterView::Agc));
    Add("Leds/BackgroundIo.bmp", PanelArt::Leds(PanelArt::MeterView::InputOutput));
    // led1 unlit; led2 shows colour code 2 (normal), led3 code 1 (caution), led4 code 3
    // (over); led5 to led7 serve rows that carry their own colour and other processor types.
    const QColor colours[7] = {QColor(),   pal::kGreen,  pal::kYellow, pal::kRed,
                               pal::kCyan, pal::kOrange, pal::kIce};
    for (int i = 0; i < 7; ++i) {
        Add(QString("Leds/Led%1.bmp").arg(i + 1), PanelArt::LedSegment(colours[i]));
    }
}

void SkinImages::AddControlArt() {
    Add("Backgrounds/Readout.bmp", ControlArt::Readout());
    Add("Backgrounds/GroupFrame.bmp", ControlArt::GroupFrame(true));
    Add("Backgrounds/GroupFrameDisabled.bmp", ControlArt::GroupFrame(false));
    for (KeyState state : kKeyStates) {
        Add(QString("Buttons/Key_%1.bmp").arg(KeyArt::FileSuffix(state)),
            ControlArt::GroupKey(state));
    }
    Add("Slider/Track.bmp", ControlArt::SliderTrack(true));
    Add("Slider/TrackDisabled.bmp", ControlArt::SliderTrack(false));
    Add("Slider/Thumb.bmp", ControlArt::SliderThumb(KeyState::Up));
    Add("Slider/ThumbDown.bmp", ControlArt::SliderThumb(KeyState::Down));
    Add("Slider/ThumbDisabled.bmp", ControlArt::SliderThumb(KeyState::Disabled));
    Add("Spin/Body.bmp", ControlArt::SpinBody());
    const KeyState arrowStates[4] = {KeyState::Up, KeyState::Over, KeyState::Down,
                                     KeyState::Disabled};
    for (KeyState state : arrowStates) {
        const QString suffix = KeyArt::FileSuffix(state);
        Add(QString("Spin/Up_%1.bmp").arg(suffix), ControlArt::SpinArrow(true, state));
        Add(QString("Spin/Down_%1.bmp").arg(suffix), ControlArt::SpinArrow(false, state));
    }
    Add("WaitDlg/Strip.bmp", ControlArt::ProgressStrip());
    Add("WaitDlg/CellOn.bmp", ControlArt::ProgressCell(true));
    Add("WaitDlg/CellOff.bmp", ControlArt::ProgressCell(false));
    const char* icons[5] = {"Load", "Save", "Rename", "LoadFile", "SaveFile"};
    for (int i = 0; i < 5; ++i) {
        Add(QString("Icons/%1.bmp").arg(icons[i]), ControlArt::MenuIcon(i));
    }
    Add("tree_icon.ico", ControlArt::TreeIcon());
}

bool SkinImages::Write(const QString& folder, QString& failedPath) const {
    for (const auto& [path, image] : images_) {
        const QString file = QDir(folder).filePath(path);
        QDir().mkpath(QFileInfo(file).path());
        bool written = false;
        if (path.endsWith(".ico")) {
            QFile out(file);
            const QByteArray bytes = IconFile(image);
            written = out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
        } else {
            written = image.convertToFormat(QImage::Format_RGB32).save(file, "BMP");
        }
        if (!written) {
            failedPath = file;
            return false;
        }
    }
    return true;
}
