// The desktop driven through its real windows on the offscreen platform, with
// scripted dialogs: what the user sees and what lands on disk.
#include "app/desktop.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QFileDialog>
#include <QInputDevice>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <deque>
#include <filesystem>

#include "app/aboutbox.h"
#include "app/mainwindow.h"
#include "app/previewwindow.h"
#include "app/reportwindow.h"
#include "app/progresswindow.h"
#include "app/settings.h"
#include "app/settingsdialog.h"
#include "imaging/standard.h"
#include "support/faultrun.h"
#include "support/testsupport.h"

namespace tavro::test {
namespace {

// One application object for the whole run, made before the first window.
void StartQt() {
    static int argc = 1;
    static char name[] = "desktop_test";
    static char* argv[] = {name, nullptr};
    // The key events the tests send register Qt's keyboard device in a list that must
    // outlive the application object, which deletes the device at exit.
    static const bool devicesFirst = (QInputDevice::devices(), true);
    (void)devicesFirst;
    static QApplication application(argc, argv);
    QApplication::setApplicationName(app::kAppTitle);
}

const std::string kSample = std::string(TAVRO_SOURCE_DIR) + "/examples/iconres.ezx";
const std::string kStop = std::string("stop:") + app::kAppTitle + "|";
using Strings = std::vector<std::string>;

struct FileAnswer {
    std::string fileName;
    int filterIndex = 1;
};

// Dialogs that answer from a script and record what was asked.
class ScriptedDialogs : public app::Dialogs {
public:
    std::deque<std::optional<FileAnswer>> files;  // the next answer: a file, or cancel
    std::deque<std::optional<std::uint32_t>> colors;
    Strings asked;    // "title|filter|file name" as each file dialog opened
    Strings boxes;    // "caption|text|detail", the error box with "stop:" before
    Strings targets;  // the file each answer would write, where the dialog asks before replacing

    bool RunFileDialog(app::FileDialogKind, app::FileDialogState& state,
                       const app::FileDialogOptions& options) override {
        asked.push_back(state.title + "|" + state.filter + "|" + state.fileName);
        const std::optional<FileAnswer> answer = files.empty() ? std::nullopt : files.front();
        if (!files.empty()) files.pop_front();
        if (!answer) return false;
        if (options.writes) targets.push_back(options.writes(answer->fileName, answer->filterIndex));
        state.fileName = answer->fileName;
        state.filterIndex = answer->filterIndex;
        return true;
    }
    std::optional<std::uint32_t> PickColor(std::uint32_t) override {
        const std::optional<std::uint32_t> color = colors.empty() ? std::nullopt : colors.front();
        if (!colors.empty()) colors.pop_front();
        return color;
    }
    void ShowStopBox(const std::string& caption, const std::string& text,
                     const std::string& detail) override {
        boxes.push_back("stop:" + caption + "|" + text + "|" + detail);
    }
    void ShowMessageBox(const std::string& caption, const std::string& text, bool owned) override {
        boxes.push_back(caption + "|" + text + (owned ? "|owned" : "|"));
    }
};

class DesktopTest : public ::testing::Test {
protected:
    DesktopTest() : desktop((StartQt(), &dialogs)), main(*desktop.SDIAppForm) {
        main.show();
        // Each stage as the progress window shows it: caption, position, bar.
        QObject::connect(desktop.Form1.get(), &QWidget::windowTitleChanged, [this](const QString& title) {
            const app::TForm1& f = *desktop.Form1;
            captions.push_back(title.toStdString() + "@" + std::to_string(f.x()) + "," + std::to_string(f.y()) +
                               "/" + std::to_string(f.ProgressBar1->value()));
        });
    }

    // Open EZX of `archive`, the folder dialog answered with a file in `folder` or cancelled.
    void Open(const std::string& archive, const std::optional<std::string>& folder) {
        dialogs.files = {FileAnswer{archive}, folder ? std::optional<FileAnswer>(FileAnswer{*folder + "x"}) : std::nullopt};
        main.FileOpen1Execute();
    }
    std::string Description() const { return main.Label1->text().toStdString(); }
    QRgb PreviewPixel(int x, int y) const { return desktop.Form2->grab().toImage().pixel(x, y); }

    TempDir dir;
    ScriptedDialogs dialogs;
    app::Desktop desktop;
    app::TSDIAppForm& main;
    Strings captions;
};

TEST_F(DesktopTest, StartsWithItsWindowsDefaultsAndMenus) {
    Strings windows;
    for (QWidget* w : std::initializer_list<QWidget*>{&main, desktop.AboutBox.get(), desktop.OKRightDlg.get(),
                                                      desktop.Form1.get(), desktop.Form2.get()})
        windows.push_back(w->windowTitle().toStdString() + (w->isVisible() ? " shown" : ""));
    EXPECT_EQ(windows, (Strings{"Tavro 0.5 shown", "About", "Settings", "Please wait...", "Icon Viewer"}));
    EXPECT_EQ(main.pos(), QPoint(197, 111));
    EXPECT_EQ(desktop.Form2->pos(), QPoint(360, 220));
    EXPECT_EQ(desktop.Form2->windowFlags() & (Qt::WindowStaysOnTopHint | Qt::WindowMaximizeButtonHint),
              Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(desktop.Form1->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(main.ListBox1->geometry(), QRect(16, 40, 201, 161));
    EXPECT_EQ(main.CheckBox1->geometry(), QRect(240, 88, 105, 17));

    Strings menus;
    for (QAction* top : main.menuBar()->actions()) {
        menus.push_back(top->text().toStdString());
        for (QAction* item : top->menu() != nullptr ? top->menu()->actions() : QList<QAction*>{})
            menus.push_back(" " + item->text().toStdString() + " " +
                            item->shortcut().toString().toStdString());
    }
    EXPECT_EQ(menus, (Strings{"&File", " &Open EZX... Ctrl+O", " &Save to EZX... Ctrl+S", "  ", " E&xit ",
                              "&Converter", " Convert &image ", " Convert &all ", "&Settings", "&Help",
                              " &About... ", "S&kin", " Contact &sheet... ", " C&heck folder... ",
                              " Com&pare with... "}));
    EXPECT_EQ(AppSettings.TargetFormat, tfBmp);
    EXPECT_EQ(AppSettings.PendingBackColor, 0u);
    EXPECT_FALSE(AppSettings.ShowPreview || main.CheckBox1->isChecked());
    EXPECT_EQ(desktop.Form2->Background, 0xFF000000u);  // copied after the defaults were set
}

TEST_F(DesktopTest, OpenEzxWithPreviewListsShowsAndDescribesInOrder) {
    main.CheckBox1->click();
    Open(kSample, dir.Path());
    EXPECT_EQ(dialogs.asked, (Strings{"Open EZX file|EZX files|*.ezx|",
                                      "Select a folder to save icons|All files|*.*|" + kSample}));
    EXPECT_EQ(captions, (Strings{"Extracting icons@150,300/0"}));
    EXPECT_FALSE(desktop.Form1->isVisible());
    EXPECT_EQ(main.ListBox1->count(), 36);
    EXPECT_EQ(main.ListBox1->currentRow(), 0);
    EXPECT_TRUE(desktop.Form2->isVisible());
    EXPECT_EQ(Description(), "alarm.k  16x16   18-bit BMP");  // the first in sorted order
    EXPECT_FALSE(Exists(dir / "temp.bmp"));                   // measured, then deleted
    EXPECT_TRUE(Exists(dir / "icons/alarm.bmp"));
    // Another icon picked by hand is described by its own size and kind.
    main.ListBox1->setCurrentItem(main.ListBox1->findItems("volume.k", Qt::MatchExactly)[0]);
    EXPECT_EQ(Description(), "volume.k  24x16   32-bit BMP");
    // Unchecking hides the preview at once; checking shows the selected icon again.
    main.CheckBox1->click();
    EXPECT_FALSE(desktop.Form2->isVisible());
    main.CheckBox1->click();
    EXPECT_TRUE(desktop.Form2->isVisible());

    // Another archive replaces the list: the Cyrillic alphabet (ё with е), then the
    // Latin one, without regard to case, ties by their bytes; Windows-1251 names and
    // UTF-8 names side by side.
    const std::string upper = "\xC0\xE1.txt", lower = "\xE0\xE2.txt";  // "Аб", "ав" in Windows-1251
    const std::string yolka = "\xB8\xEB\xEA\xE0.k";                      // "ёлка" in Windows-1251
    WriteBytes(dir / "names.ezx",
               BuildArchive(HeaderText(64), {{"b.txt", {1}}, {"B.txt", {2}}, {"a.txt", {3}}, {lower, {4}},
                                             {upper, {5}}, {"Часы.k", {6}}, {yolka, {7}}, {"Ель.k", {8}},
                                             {"елка.k", {9}}, {"b_x.txt", {10}}}));
    Open(dir / "names.ezx", dir.Path());
    Strings texts;
    for (int i = 0; i < main.ListBox1->count(); ++i)
        texts.push_back(main.ListBox1->item(i)->text().toStdString());
    EXPECT_EQ(texts, (Strings{"Аб.txt", "ав.txt", "елка.k", "ёлка.k", "Ель.k", "Часы.k", "a.txt", "B.txt",
                              "b.txt", "b_x.txt"}));  // a name before its longer forms
    main.ListBox1->setCurrentItem(main.ListBox1->findItems("Аб.txt", Qt::MatchExactly)[0]);  // no error box
    EXPECT_EQ(Description(), "Аб.txt  0x0   PNG");
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(DesktopTest, OpenEzxWithoutPreviewCancelledFolderDialogAndDrop) {
    WriteBytes(dir / "iconres.ezx", ReadBytes(kSample));
    main.Label1->setText("kept");
    Open(dir / "iconres.ezx", std::nullopt);  // the archive's own folder
    EXPECT_TRUE(Exists(dir / "iconres.dat"));
    EXPECT_EQ(main.ListBox1->currentRow(), 0);
    EXPECT_FALSE(desktop.Form2->isVisible());
    EXPECT_EQ(Description(), "kept");

    // An archive dropped on the window: Open EZX from its folder dialog on.
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(kSample))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    EXPECT_TRUE(QApplication::sendEvent(&main, &enter) && enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    dialogs.asked.clear();
    dialogs.files = {FileAnswer{dir / "dropped/x"}};
    std::filesystem::create_directory(dir / "dropped");
    QApplication::sendEvent(&main, &drop);
    EXPECT_EQ(dialogs.asked, (Strings{"Select a folder to save icons|All files|*.*|" + kSample}));
    EXPECT_TRUE(Exists(dir / "dropped/iconres.dat"));
}

TEST_F(DesktopTest, SaveToEzxWritesTheArchiveOrIconrezWhenCancelled) {
    Open(kSample, dir.Path());
    dialogs.asked.clear();
    dialogs.files = {FileAnswer{dir / "iconres.dat"}, FileAnswer{dir / "out.ezx"}, FileAnswer{dir / "iconres.dat"},
                     std::nullopt};
    main.FileSave1Execute();
    main.FileSave1Execute();
    EXPECT_EQ(ReadBytes(dir / "out.ezx"), ReadBytes(kSample));
    EXPECT_EQ(ReadBytes(dir / "iconrez.ezx"), ReadBytes(kSample));
    EXPECT_EQ(dialogs.asked[0], "Select an EZX structure file|EZX structure|*.dat|");
    EXPECT_EQ(dialogs.asked[1], "Select file to save EZX|EZX files|*.ezx|iconres.ezx");
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(DesktopTest, SaveAndConvertPicturesInEachFormat) {
    main.Button1Click();
    EXPECT_EQ(dialogs.boxes, (Strings{kStop + "List index out of bounds (-1)|"}));
    EXPECT_TRUE(dialogs.asked.empty());

    Open(kSample, dir.Path());
    for (const auto& [entry, magic] : std::vector<std::pair<int, std::string>>{{1, "BM"}, {2, "GIF8"}, {3, "\x89PNG"}}) {
        const std::string target = dir / ("bare" + std::to_string(entry));  // written under the name as typed
        dialogs.files = {FileAnswer{target, entry}};
        main.Button1Click();
        EXPECT_EQ(ReadText(target).substr(0, magic.size()), magic);
    }
    EXPECT_EQ(dialogs.asked.back(), "Save picture as|BMP Image|*.bmp|GIF Image|*.gif|PNG Image|*.png|");
    EXPECT_EQ(dialogs.boxes.size(), 1u);
    // The dialog asks about the file that will be written: a .g icon's by its content.
    main.ListBox1->setCurrentItem(main.ListBox1->findItems("logo.g", Qt::MatchExactly)[0]);
    dialogs.files = {FileAnswer{dir / "logo", 1}};
    main.Button1Click();
    EXPECT_EQ(dialogs.targets.back(), dir / "logo.png");
    EXPECT_TRUE(Exists(dir / "logo.png"));

    // Convert image, and Convert all in both directions.
    dialogs.asked.clear();
    dialogs.boxes.clear();
    dialogs.targets.clear();
    const std::string clock = dir / "raws/clock.k";
    dialogs.files = {FileAnswer{clock, 1},           FileAnswer{dir / "clock.png", 3},
                     FileAnswer{dir / "clock.png", 2}, FileAnswer{dir / "again.k", 2},  // a PNG always becomes .g
                     FileAnswer{dir / "icons/clock.bmp", 2}, FileAnswer{dir / "fromBmp", 2},
                     FileAnswer{clock, 2},           FileAnswer{dir / "none", 1}};  // "Image Files": not a picture
    for (int i = 0; i < 4; ++i) main.Convertimage1Click();
    EXPECT_EQ(dialogs.asked[1], "Save picture as|BMP Image|*.bmp|GIF Image|*.gif|PNG Image|*.png|" + clock);
    EXPECT_EQ(LoadBitmap(dir / "clock.png").Width(), 32);
    EXPECT_EQ(DetectPictureKind(dir / "again.g"), pkG);
    EXPECT_EQ(DetectPictureKind(dir / "fromBmp.k"), pkK32);
    EXPECT_FALSE(Exists(dir / "none.k"));
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_TRUE(dialogs.boxes[0].ends_with("|" + clock));
    EXPECT_EQ(dialogs.targets, (Strings{dir / "clock.png", dir / "again.g", dir / "fromBmp.k", dir / "none"}));

    std::filesystem::create_directories(dir / "standard");
    std::filesystem::create_directories(dir / "handset");
    dialogs.files = {FileAnswer{dir / "raws/logo.g"}, FileAnswer{dir / "standard/x"},
                     FileAnswer{dir / "standard/clock.bmp"}, FileAnswer{dir / "handset/x"}};
    main.Convertall2Click();
    main.Convertall2Click();
    EXPECT_EQ(dialogs.asked.back(), "Select target image folder||" + dir / "standard/x");
    EXPECT_TRUE(Exists(dir / "standard/logo.png"));
    EXPECT_EQ(DetectPictureKind(dir / "handset/clock.k"), pkK18Masked);
    EXPECT_EQ(dialogs.boxes.size(), 1u);
}

TEST_F(DesktopTest, SettingsApplyOnOkOnlyAndRedrawWithTheNewBackground) {
    app::TOKRightDlg& settings = *desktop.OKRightDlg;
    settings.FormShow();
    EXPECT_EQ(settings.ComboBox1->currentText(), "32-bit bitmap (.BMP)");
    settings.ComboBox1Select(1);
    dialogs.colors = {0x000000FF, std::nullopt};  // pure red, then a cancelled picker
    settings.Button1Click();
    settings.Button1Click();
    EXPECT_EQ(AppSettings.PendingFormat, 1);
    EXPECT_EQ(AppSettings.PendingBackColor, 0x000000FFu);
    EXPECT_EQ(settings.Shape1->Color, 0x000000FFu);

    QTimer::singleShot(0, &settings, &QDialog::reject);
    main.Settings1Click();
    EXPECT_EQ(AppSettings.TargetFormat, tfBmp);
    EXPECT_EQ(desktop.Form2->Background, 0xFF000000u);
    QTimer::singleShot(0, [&] {
        EXPECT_EQ(settings.ComboBox1->currentText(), "PNG image (.PNG)");  // the pending choice
        settings.accept();
    });
    main.Settings1Click();
    EXPECT_EQ(AppSettings.TargetFormat, tfPng);
    EXPECT_EQ(desktop.Form2->Background, 0xFFFF0000u);

    main.CheckBox1->click();
    Open(kSample, dir.Path());
    EXPECT_TRUE(Exists(dir / "icons/alarm.png"));
    EXPECT_EQ(PreviewPixel(16, 16), 0xFFFF0000u);
}

TEST_F(DesktopTest, PreviewPaintsTheAreaAndPlacesTheIcon) {
    app::TForm2& preview = *desktop.Form2;
    constexpr QRgb kBack = 0xFF0000FF, kIcon = 0xFF00FC00;  // green as 18 bits keep it
    auto show = [&](int w, int h) {
        Bitmap b(w, h);
        for (int i = 0; i < w * h; ++i) b.SetPixel(i % w, i / w, kIcon);
        SaveBitmap(b, dir / "icon.bmp", "image/bmp");
        preview.RawPath = dir / "icon.k";
        EncodePicture(dir / "icon.bmp", pkK18Masked, preview.RawPath);
        preview.ImagePath = dir / "temp.bmp";
        preview.Format = tfBmp;
        preview.show();
        preview.RedrawPreview();
    };
    // Pixels of the client area: inside and just outside the icon, and the area's corners.
    auto expect = [&](std::initializer_list<std::tuple<int, int, QRgb>> pixels) {
        for (const auto& [x, y, colour] : pixels) EXPECT_EQ(PreviewPixel(x, y), colour) << x << "," << y;
    };
    preview.Background = kBack;
    show(100, 50);  // at its own size, centred at 86, 151
    expect({{16, 16, kBack}, {255, 335, kBack}, {86, 151, kIcon}, {85, 151, kBack}});
    preview.CheckBox1->setChecked(true);
    preview.ComboBox1Select(1);  // 2X with Stretch: 200 x 100 at 36, 126
    expect({{36, 126, kIcon}, {235, 225, kIcon}, {35, 126, kBack}, {236, 226, kBack}});
    show(176, 220);  // both sides cut: fills the area
    expect({{16, 16, kIcon}, {255, 335, kIcon}});
    preview.CheckBox1->setChecked(false);
    show(100, 50);
    preview.ComboBox1Select(3);  // 8X without Stretch keeps the size
    EXPECT_EQ(preview.Zoom, 8);
    expect({{86, 151, kIcon}, {85, 151, kBack}});
    EXPECT_EQ(app::PreviewPlacement(300, 10, false, 1, QRect(16, 16, 240, 320)), QRect(-14, 171, 300, 10));
}

TEST_F(DesktopTest, ErrorsEndTheCommandInTheirBoxes) {
    Open(dir / "missing.ezx", dir.Path());
    EXPECT_EQ(dialogs.boxes, (Strings{kStop + "File not found.|" + dir / "missing.ezx"}));
    EXPECT_FALSE(desktop.Form1->isVisible());  // closed after the error

    // A raw copy that cannot be created: the "Error" box, then the error box.
    WriteText(dir / "raws", "a file where the folder should be");
    dialogs.boxes.clear();
    Open(kSample, dir.Path());
    EXPECT_EQ(dialogs.boxes, (Strings{"Error|" + dir / "raws/battery_full.k|owned",
                                      kStop + "File not open.|" + dir / "raws/battery_full.k"}));
    EXPECT_FALSE(desktop.Form1->isVisible());

    // Icons a.gif and a.png of two records both convert to a.g: copying the first
    // takes the file that the second needs.
    WriteBytes(dir / "f/iconres.hdr", HeaderText(24));
    WriteBytes(dir / "f/iconres.dat", StructureFile(2, {{0, "p.g", "a.gif", pkG}, {1, "q.g", "a.png", pkG}}));
    WriteText(dir / "f/icons/a.gif", "GIF89a");
    WriteText(dir / "f/icons/a.png", "\x89PNG");
    dialogs.boxes.clear();
    dialogs.files = {FileAnswer{dir / "f/iconres.dat"}, FileAnswer{dir / "out.ezx"}};
    main.FileSave1Execute();
    EXPECT_EQ(dialogs.boxes, (Strings{"Not Found|a.g|", kStop + "File not open.|" + dir / "f/conv/a.g"}));
    EXPECT_FALSE(desktop.Form1->isVisible());

    // A raw file that vanished: the box, and neither the description nor the preview
    // keeps the icon shown before.
    dialogs.boxes.clear();
    std::filesystem::remove_all(dir / "raws");
    main.CheckBox1->click();
    Open(kSample, dir.Path());
    std::filesystem::remove(dir / "raws/volume.k");
    main.ListBox1->setCurrentItem(main.ListBox1->findItems("volume.k", Qt::MatchExactly)[0]);
    EXPECT_EQ(dialogs.boxes, (Strings{kStop + "File not found.|" + dir / "raws/volume.k"}));
    EXPECT_EQ(Description(), "");
    EXPECT_EQ(PreviewPixel(136, 176), 0xFF000000u);  // the area's middle: background only

    EXPECT_EQ(app::ErrorBoxText("ends."), "ends.");
    EXPECT_EQ(app::ErrorBoxText(""), "");
}

// Keys pressed in the settings' format list: those that type drop the list down, the
// others do what they do in any dialog.
TEST_F(DesktopTest, SettingsFormatListDropsDownOnlyForKeysThatType) {
    app::TOKRightDlg& settings = *desktop.OKRightDlg;
    struct Case {
        int key;
        Qt::KeyboardModifiers modifiers;
        QString text;
        std::string seen;
    };
    for (const Case& c : std::vector<Case>{{Qt::Key_P, Qt::NoModifier, "p", "drops down"},
                                           {Qt::Key_Space, Qt::NoModifier, " ", "drops down"},
                                           {Qt::Key_Escape, Qt::NoModifier, "\x1b", "Cancel"},
                                           {Qt::Key_Return, Qt::NoModifier, "\r", "OK"},
                                           {Qt::Key_Enter, Qt::KeypadModifier, "\r", "OK"},
                                           {Qt::Key_Tab, Qt::NoModifier, "\t", "moves on"},
                                           {Qt::Key_Backtab, Qt::ShiftModifier, "", "moves on"},
                                           {Qt::Key_X, Qt::AltModifier, "x", "stays"},
                                           {Qt::Key_Down, Qt::NoModifier, "", "stays"}}) {
        std::string seen;
        QTimer::singleShot(0, [&] {
            settings.ComboBox1->setFocus();
            QKeyEvent press(QEvent::KeyPress, c.key, c.modifiers, c.text);
            QApplication::sendEvent(settings.ComboBox1, &press);
            if (!settings.isVisible()) return;
            seen = settings.ComboBox1->view()->isVisible()        ? "drops down"
                   : settings.focusWidget() != settings.ComboBox1 ? "moves on"
                                                                  : "stays";
            settings.ComboBox1->hidePopup();
            settings.done(-1);
        });
        const int result = settings.exec();
        if (seen.empty()) seen = result == QDialog::Accepted ? "OK" : "Cancel";
        EXPECT_EQ(seen, c.seen) << c.key;
    }
    EXPECT_EQ(AppSettings.PendingFormat, 3);  // Down picked the next entry
}

// Typed text in the zoom box changes nothing, on Return, Tab or leaving the box; an
// entry picked in its list does.
TEST_F(DesktopTest, ZoomBoxIgnoresTypedText) {
    app::TForm2& preview = *desktop.Form2;
    QComboBox& zoom = *preview.ComboBox1;
    preview.show();
    auto type = [&](const QString& text, int key) {
        zoom.setFocus();
        zoom.lineEdit()->selectAll();
        for (QChar ch : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, ch);
            QApplication::sendEvent(&zoom, &press);
        }
        EXPECT_EQ(zoom.currentText(), text);
        if (key != 0) {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QApplication::sendEvent(&zoom, &press);
        }
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);  // leaving the box
        QApplication::sendEvent(&zoom, &out);
    };
    type("8X", Qt::Key_Return);
    type("4X", Qt::Key_Tab);
    type("2X", 0);
    EXPECT_EQ(preview.Zoom, 1);
    EXPECT_EQ(zoom.currentText(), "Zoom");
    // Picked in the list: the zoom changes (the redraw's error, no raw file, is boxed).
    zoom.showPopup();
    zoom.view()->setCurrentIndex(zoom.model()->index(2, 0));
    QKeyEvent pick(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(zoom.view(), &pick);
    EXPECT_EQ(preview.Zoom, 4);
    type("8X", Qt::Key_Return);
    EXPECT_EQ(preview.Zoom, 4);
    EXPECT_EQ(zoom.currentText(), "4X");
}

// Qt's own file dialogs: the name given is the name shown, empty included; a name
// whose file exists is asked about, and No returns to the dialog.
TEST_F(DesktopTest, FileDialogsShowTheGivenNameAndAskBeforeReplacing) {
    app::QtDialogs real(&main);
    WriteText(dir / "kept.bmp", "old");
    std::filesystem::create_directory(dir / "sub");
    app::FileDialogState state{"Save picture as", "BMP Image|*.bmp", "", 1};
    app::FileDialogOptions options;
    options.startFolder = dir.Path();
    options.writes = [](const std::string& name, int) { return name; };
    Strings seen;
    auto dialog = [] { return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()); };
    auto field = [&] { return dialog()->findChild<QLineEdit*>("fileNameEdit"); };
    // Presses the dialog's button with `name` typed; `answer` answers a question if one comes.
    auto press = [&](const QString& name, QMessageBox::StandardButton answer) {
        field()->setFocus();
        field()->setText(name);
        QTimer::singleShot(0, [&seen, answer] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) return;
            seen.push_back(box->windowTitle().toStdString() + ": " + box->text().toStdString());
            box->button(answer)->click();
        });
        static_cast<QDialog*>(dialog())->accept();  // the dialog's button
        seen.push_back(dialog() != nullptr ? "still open" : "taken");
    };
    auto run = [&](const std::function<void()>& script) {
        QTimer::singleShot(0, [&] {
            seen.push_back("[" + field()->text().toStdString() + "] in " +
                           dialog()->directory().absolutePath().toStdString() + "/");
            script();
            if (dialog() != nullptr) dialog()->reject();
        });
        return real.RunFileDialog(app::FileDialogKind::Save, state, options);
    };
    EXPECT_FALSE(run([&] {
        const QPoint centre = main.frameGeometry().center() - dialog()->frameGeometry().center();
        EXPECT_LE(centre.manhattanLength(), 10);  // over the main window
        press("kept.bmp", QMessageBox::No);
    }));
    EXPECT_TRUE(run([&] { press("kept.bmp", QMessageBox::Yes); }));
    EXPECT_EQ(state.fileName, dir / "kept.bmp");
    state.fileName.clear();
    EXPECT_FALSE(run([&] { press("", QMessageBox::Yes); }));  // nothing to take: the folder
    const std::string question = "Save picture as: kept.bmp already exists.\nDo you want to replace it?";
    const std::string start = "[] in " + dir.Path();
    EXPECT_EQ(seen, (Strings{start, question, "still open", start, question, "taken", start, "still open"}));
    EXPECT_EQ(ReadText(dir / "kept.bmp"), "old");

    // Open EZX's folder dialog takes a typed folder as the answer.
    app::FileDialogOptions folders;
    folders.acceptsFolder = true;
    folders.startFolder = dir.Path();
    QTimer::singleShot(0, [&] {
        field()->setText("sub");
        static_cast<QDialog*>(dialog())->accept();  // the dialog's button
    });
    EXPECT_TRUE(real.RunFileDialog(app::FileDialogKind::Open, state, folders));
    EXPECT_EQ(state.fileName, dir / "sub/");
}

// Save Picture replaces an existing file whole under every fault of the file layer;
// Convert image refuses to write over its own source; an archive with two entries of
// one name unpacks with a warning box that names the slot left out.
TEST_F(DesktopTest, SavedPicturesAreOldOrNewAndNothingIsLostSilently) {
    Open(kSample, dir.Path());
    const std::string target = dir / "saved.png";
    dialogs.files = {FileAnswer{target, 3}};
    main.Button1Click();
    const Bytes saved = ReadBytes(target);
    for (const faults::Fault& fault : FaultTable(saved.size())) {
        SCOPED_TRACE(Describe(fault));
        WriteText(target, "an older picture");
        dialogs.files = {FileAnswer{target, 3}};
        RunWithFault(fault, [&] { main.Button1Click(); });
        const Bytes now = ReadBytes(target);
        EXPECT_TRUE(now == saved || now == ToBytes("an older picture"));
        EXPECT_EQ(TempFilesAfterNextRun(dir.Path()), Strings{});
    }

    dialogs.boxes.clear();
    const Bytes clock = ReadBytes(dir / "raws/clock.k");
    dialogs.files = {FileAnswer{dir / "raws/clock.k", 1}, FileAnswer{dir / "raws/../raws/clock.k", 1}};
    main.Convertimage1Click();
    EXPECT_EQ(ReadBytes(dir / "raws/clock.k"), clock);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_TRUE(Contains(dialogs.boxes[0], "is the picture being converted"));

    dialogs.boxes.clear();
    WriteBytes(dir / "twice.ezx", BuildArchive(HeaderText(24), {{"a.k", ReadBytes(dir / "raws/clock.k"), 1},
                                                                {"a.k", ReadBytes(dir / "raws/alarm.k"), 2}}));
    std::filesystem::create_directories(dir / "twice");
    Open(dir / "twice.ezx", dir / "twice/");
    EXPECT_EQ(dialogs.boxes, Strings{"Warning|" + dir / "twice.ezx: slot 1 has the name a.k of slot 0, which its "
                                     "files would replace: it is not unpacked, and packing this folder leaves it "
                                     "empty|owned"});
}

// The Skin menu on the folder last unpacked: nothing to do before an unpacking; the
// contact sheet is written where the user said and opened in the viewer; a comparison
// and a check show their text in the report window.
TEST_F(DesktopTest, SkinMenuSheetsComparesAndChecksTheUnpackedFolder) {
    Strings opened;
    main.OpenUrl = [&](const QUrl& url) { return opened.push_back(url.toLocalFile().toStdString()), true; };
    main.ContactSheet1->trigger();
    EXPECT_EQ(dialogs.boxes, (Strings{"Contact sheet|" + std::string(app::kNothingUnpacked) + "|owned"}));

    Open(kSample, dir.Path());
    dialogs.asked.clear();
    dialogs.files = {FileAnswer{dir / "s.png"}};
    main.ContactSheet1->trigger();
    EXPECT_EQ(dialogs.asked, (Strings{"Save the contact sheet|PNG Image|*.png|" + dir / "sheet.png"}));
    EXPECT_EQ(opened, (Strings{dir / "s.png"})) << dialogs.boxes.back();
    EXPECT_EQ(LoadBitmap(dir / "s.png").GetPixel(10, 10), 0xFF000000u);  // the viewer's black

    SaveBitmap(Bitmap(30, 32), dir / "icons/menu_games.bmp", "image/bmp");
    dialogs.files = {FileAnswer{kSample}};
    main.CompareWith1->trigger();
    EXPECT_TRUE(main.ReportWindow->isVisible());
    EXPECT_EQ(main.ReportWindow->windowTitle(), "Compare with");
    const std::string report = main.ReportWindow->Text->toPlainText().toStdString();
    EXPECT_TRUE(Contains(report, "slot 18  menu_games.k  size 32x32 to 30x32\n39 identical, 0 added, 0 removed, 1 changed"));
    main.CheckFolder1->trigger();
    EXPECT_EQ(main.ReportWindow->windowTitle(), "Check folder");
    EXPECT_TRUE(Contains(main.ReportWindow->Text->toPlainText().toStdString(),
                         "menu_games.k          encoded again from icons/menu_games.bmp into 32-bit .k\n"
                         "                             SIZE CHANGED 32x32 to 30x32\n"));
    EXPECT_TRUE(dialogs.boxes.size() == 1) << dialogs.boxes.back();
}

}  // namespace
}  // namespace tavro::test
