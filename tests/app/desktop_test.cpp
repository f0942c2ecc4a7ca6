// The desktop driven through its real windows on the offscreen platform, with
// scripted dialogs: what the user sees and what lands on disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QDropEvent>
#include <QListWidget>
#include <QMimeData>
#include <QUrl>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "app/aboutbox.h"
#include "app/commands.h"
#include "app/mainwindow.h"
#include "app/previewwindow.h"
#include "app/progresswindow.h"
#include "app/settingsdialog.h"
#include "archive/settings.h"
#include "imaging/bitmap.h"
#include "archive/format.h"
#include "imaging/paths.h"
#include "archive/archive_fixture.h"
#include "app/scripteddialogs.h"
#include "support/testsupport.h"

namespace tavro::test {
namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "desktop_test";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
        QApplication::setApplicationName(app::kAppTitle);
    }
    void TearDown() override { delete app_; }

private:
    QApplication* app_ = nullptr;
};
const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

const std::string kSample = std::string(TAVRO_SOURCE_DIR) + "/examples/iconres.ezx";

class DesktopTest : public ::testing::Test {
protected:
    DesktopTest() : desktop(&dialogs), main(*desktop.SDIAppForm) {
        main.show();
        captions.clear();
        QObject::connect(desktop.Form1.get(), &QWidget::windowTitleChanged, [this](const QString& title) {
            captions.push_back(title.toStdString() + "@" + std::to_string(desktop.Form1->x()) + "," +
                               std::to_string(desktop.Form1->y()) + "/" +
                               std::to_string(desktop.Form1->ProgressBar1->value()));
        });
    }

    // Open EZX of `archive` into `folder` (the folder dialog answered with a file in it).
    void Open(const std::string& archive, const std::optional<std::string>& folder) {
        dialogs.files = {FileAnswer{archive}};
        dialogs.files.push_back(folder ? std::optional<FileAnswer>(FileAnswer{*folder + "x"}) : std::nullopt);
        main.FileOpen1Execute();
    }
    std::vector<std::string> ListTexts() const {
        std::vector<std::string> out;
        for (int i = 0; i < main.ListBox1->count(); ++i) out.push_back(main.ListBox1->item(i)->text().toStdString());
        return out;
    }
    std::string Description() const { return main.Label1->text().toStdString(); }
    // The preview as painted: the client area's pixel at x, y.
    QRgb PreviewPixel(int x, int y) const { return desktop.Form2->grab().toImage().pixel(x, y); }

    TempDir dir;
    ScriptedDialogs dialogs;
    app::Desktop desktop;
    app::TSDIAppForm& main;
    std::vector<std::string> captions;
};

TEST_F(DesktopTest, StartsWithItsWindowsDefaultsAndMenus) {
    EXPECT_EQ(main.windowTitle(), "Tavro 0.5");
    EXPECT_EQ(main.pos(), QPoint(197, 111));
    EXPECT_EQ(QApplication::applicationName(), app::kAppTitle);
    for (QWidget* hidden : std::initializer_list<QWidget*>{desktop.AboutBox.get(), desktop.OKRightDlg.get(),
                                                           desktop.Form1.get(), desktop.Form2.get()}) {
        EXPECT_FALSE(hidden->isVisible()) << hidden->objectName().toStdString();
    }
    EXPECT_EQ(desktop.Form2->windowTitle(), "Icon Viewer");
    EXPECT_EQ(desktop.Form2->pos(), QPoint(360, 220));
    EXPECT_TRUE(desktop.Form2->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(desktop.Form2->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(desktop.Form1->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(desktop.Form1->windowTitle(), "Please wait...");
    EXPECT_EQ(desktop.OKRightDlg->windowTitle(), "Settings");
    EXPECT_EQ(desktop.AboutBox->windowTitle(), "About");
    EXPECT_EQ(main.ListBox1->geometry(), QRect(16, 40, 201, 161));
    EXPECT_EQ(main.Button1->text(), "Save Picture");
    EXPECT_EQ(main.CheckBox1->geometry(), QRect(240, 88, 105, 17));
    EXPECT_FALSE(main.CheckBox1->isChecked());

    std::vector<std::string> menus;
    for (QAction* top : main.menuBar()->actions()) {
        menus.push_back(top->text().toStdString());
        if (top->menu() == nullptr) continue;
        for (QAction* item : top->menu()->actions()) {
            menus.push_back(" " + item->text().toStdString() + " " + item->shortcut().toString().toStdString());
        }
    }
    EXPECT_EQ(menus, (std::vector<std::string>{"&File", " &Open EZX... Ctrl+O", " &Save to EZX... Ctrl+S", "  ",
                                               " E&xit ", "&Converter", " Convert &image ", " Convert &all ",
                                               "&Settings", "&Help", " &About... "}));

    EXPECT_EQ(AppSettings.TargetFormat, tfBmp);
    EXPECT_EQ(AppSettings.PendingBackColor, 0u);
    EXPECT_FALSE(AppSettings.ShowPreview);
    EXPECT_EQ(desktop.Form2->Background, 0xFF000000u);
}

TEST_F(DesktopTest, OpenEzxWithPreviewListsShowsAndDescribes) {
    main.CheckBox1->click();
    Open(kSample, dir.Path());

    ASSERT_EQ(dialogs.asked.size(), 2u);
    EXPECT_EQ(dialogs.asked[0].state.title, "Open EZX file");
    EXPECT_EQ(dialogs.asked[0].state.filter, "EZX files|*.ezx");
    EXPECT_EQ(dialogs.asked[1].state.title, "Select a folder to save icons");
    EXPECT_EQ(dialogs.asked[1].state.filter, "All files|*.*");
    EXPECT_EQ(dialogs.asked[1].state.fileName, kSample);

    EXPECT_EQ(main.ListBox1->count(), 36);
    EXPECT_EQ(main.ListBox1->currentRow(), 0);
    EXPECT_EQ(ListTexts().front(), "alarm.k");
    EXPECT_TRUE(desktop.Form2->isVisible());
    EXPECT_EQ(Description(), "alarm.k  16x16   18-bit BMP");
    // Measured, then deleted; the preview writes it again when it next paints.
    EXPECT_FALSE(Exists(dir / "temp.bmp"));
    EXPECT_TRUE(Exists(dir / "raws/alarm.k"));
    EXPECT_TRUE(Exists(dir / "icons/alarm.bmp"));
    EXPECT_TRUE(dialogs.boxes.empty());

    EXPECT_EQ(captions, (std::vector<std::string>{"Extracting icons@150,300/0"}));
    EXPECT_FALSE(desktop.Form1->isVisible());

    // Selecting another icon by hand redescribes it; the type word follows its kind.
    const std::vector<std::string> texts = ListTexts();
    main.ListBox1->setCurrentRow(static_cast<int>(std::find(texts.begin(), texts.end(), "volume.k") - texts.begin()));
    EXPECT_EQ(Description(), "volume.k  24x16   32-bit BMP");
    main.ListBox1->setCurrentRow(main.ListBox1->count() - 6);  // a .g holding a PNG or GIF
    EXPECT_TRUE(Description().ends_with("   PNG")) << Description();

    // Unchecking hides the preview at once; checking shows the selected icon again.
    main.CheckBox1->click();
    EXPECT_FALSE(desktop.Form2->isVisible());
    main.CheckBox1->click();
    EXPECT_TRUE(desktop.Form2->isVisible());
}

TEST_F(DesktopTest, DroppedArchiveOpensFromTheFolderDialog) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(kSample))});
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&main, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    dialogs.files = {FileAnswer{dir / "x"}};
    QApplication::sendEvent(&main, &drop);
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].state.title, "Select a folder to save icons");
    EXPECT_EQ(main.ListBox1->count(), 36);
}

TEST_F(DesktopTest, OpenEzxWithoutPreviewAndCancelledFolderDialog) {
    const std::string archive = dir / "iconres.ezx";
    WriteBytes(archive, ReadBytes(kSample));
    main.Label1->setText("kept");
    Open(archive, std::nullopt);  // the folder dialog cancelled: the archive's own folder
    EXPECT_EQ(main.ListBox1->count(), 36);
    EXPECT_EQ(main.ListBox1->currentRow(), 0);
    EXPECT_TRUE(Exists(dir / "iconres.dat"));
    EXPECT_FALSE(desktop.Form2->isVisible());
    EXPECT_EQ(Description(), "kept");
}

TEST_F(DesktopTest, ListOrderIgnoresCaseAndShowsCyrillicNames) {
    const std::string cyrillicUpper = "\xC0\xE1.txt";  // "Аб" in Windows-1251
    const std::string cyrillicLower = "\xE0\xE2.txt";  // "ав"
    WriteBytes(dir / "names.ezx", BuildArchive(HeaderText(64), {{"b.txt", {1}}, {"B.txt", {2}}, {"a.txt", {3}},
                                                                 {cyrillicLower, {4}}, {cyrillicUpper, {5}}}));
    main.CheckBox1->click();
    Open(dir / "names.ezx", dir.Path());
    EXPECT_EQ(ListTexts(), (std::vector<std::string>{"a.txt", "B.txt", "b.txt", "Аб.txt", "ав.txt"}));
    // Every entry opens from its bytes: the raw copy of the Cyrillic name is found.
    main.ListBox1->setCurrentRow(3);
    EXPECT_EQ(Description(), "Аб.txt  0x0   PNG");
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(DesktopTest, SaveToEzxWritesTheArchiveOrIconrezWhenCancelled) {
    Open(kSample, dir.Path());
    dialogs.asked.clear();
    dialogs.files = {FileAnswer{dir / "iconres.dat"}, FileAnswer{dir / "out.ezx"}};
    main.FileSave1Execute();
    EXPECT_EQ(ReadBytes(dir / "out.ezx"), ReadBytes(kSample));
    EXPECT_EQ(dialogs.asked[0].state.title, "Select an EZX structure file");
    EXPECT_EQ(dialogs.asked[0].state.filter, "EZX structure|*.dat");
    EXPECT_EQ(dialogs.asked[1].state.title, "Select file to save EZX");
    EXPECT_EQ(dialogs.asked[1].state.fileName, "iconres.ezx");

    captions.clear();
    dialogs.files = {FileAnswer{dir / "iconres.dat"}, std::nullopt};
    main.FileSave1Execute();
    EXPECT_EQ(ReadBytes(dir / "iconrez.ezx"), ReadBytes(kSample));
    EXPECT_EQ(captions, (std::vector<std::string>{"Searching for files@150,300/0",
                                                  "Retrieving skin structure@150,300/0",
                                                  "Packing icons@150,300/0"}));
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(DesktopTest, SavePictureInEachFormatAndOnAnEmptyList) {
    main.Button1Click();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].caption, app::kAppTitle);
    EXPECT_EQ(dialogs.boxes[0].text, "List index out of bounds (-1)");
    EXPECT_TRUE(dialogs.boxes[0].stop);
    EXPECT_TRUE(dialogs.asked.empty());

    Open(kSample, dir.Path());
    const std::vector<std::pair<int, std::string>> formats = {{1, "BM"}, {2, "GIF8"}, {3, "\x89PNG"}};
    for (const auto& [entry, magic] : formats) {
        const std::string target = dir / ("bare" + std::to_string(entry));
        dialogs.files = {FileAnswer{target, entry}};
        main.Button1Click();
        const Bytes written = ReadBytes(target);  // under the name as typed
        ASSERT_GE(written.size(), magic.size());
        EXPECT_EQ(std::string(written.begin(), written.begin() + static_cast<long>(magic.size())), magic);
    }
    EXPECT_EQ(dialogs.asked.back().state.title, "Save picture as");
    EXPECT_EQ(dialogs.asked.back().state.filter, "BMP Image|*.bmp|GIF Image|*.gif|PNG Image|*.png");
    EXPECT_EQ(dialogs.boxes.size(), 1u);
}

TEST_F(DesktopTest, ConvertImageAndConvertAllInBothDirections) {
    Open(kSample, dir.Path());
    const std::string clock = dir / "raws/clock.k";
    dialogs.files = {FileAnswer{clock, 1}, FileAnswer{dir / "clock.png", 3}};
    main.Convertimage1Click();
    EXPECT_EQ(LoadBitmap(dir / "clock.png").Width(), 32);
    EXPECT_EQ(dialogs.asked.back().state.fileName, clock);  // preset to the source

    dialogs.files = {FileAnswer{dir / "clock.png", 2}, FileAnswer{dir / "again.k", 2}};
    main.Convertimage1Click();
    EXPECT_EQ(DetectPictureKind(dir / "again.g"), pkG);  // a PNG source always becomes .g

    dialogs.files = {FileAnswer{dir / "icons/clock.bmp", 2}, FileAnswer{dir / "fromBmp", 2}};
    main.Convertimage1Click();
    EXPECT_EQ(DetectPictureKind(dir / "fromBmp.k"), pkK32);

    // "Image Files" chosen: even a .k is read as a standard picture, which it is not.
    dialogs.files = {FileAnswer{clock, 2}, FileAnswer{dir / "none", 1}};
    main.Convertimage1Click();
    EXPECT_FALSE(Exists(dir / "none.k"));
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].detail, clock);
    dialogs.boxes.clear();

    const std::string standard = dir / "standard/";
    std::filesystem::create_directory(standard);
    dialogs.files = {FileAnswer{dir / "raws/logo.g"}, FileAnswer{standard + "anything"}};
    main.Convertall2Click();
    EXPECT_TRUE(Exists(standard + "clock.bmp"));
    EXPECT_TRUE(Exists(standard + "logo.png") || Exists(standard + "logo.gif"));
    EXPECT_EQ(dialogs.asked.back().state.title, "Select target image folder");
    EXPECT_EQ(dialogs.asked.back().state.filter, "");

    const std::string handset = dir / "handset/";
    std::filesystem::create_directory(handset);
    dialogs.files = {FileAnswer{standard + "clock.bmp"}, FileAnswer{handset + "x"}};
    main.Convertall2Click();
    EXPECT_EQ(DetectPictureKind(handset + "clock.k"), pkK18Masked);
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(DesktopTest, SettingsApplyOnOkOnlyAndRedrawWithTheNewBackground) {
    app::TOKRightDlg& settings = *desktop.OKRightDlg;
    settings.FormShow();
    EXPECT_EQ(settings.ComboBox1->currentText(), "32-bit bitmap (.BMP)");
    settings.ComboBox1Select(1);
    dialogs.colors = {0x000000FF};
    settings.Button1Click();
    EXPECT_EQ(AppSettings.PendingFormat, 1);
    EXPECT_EQ(AppSettings.PendingBackColor, 0x000000FFu);
    EXPECT_EQ(settings.Shape1->Color, 0x000000FFu);
    settings.Button1Click();  // a cancelled picker keeps the colour
    EXPECT_EQ(AppSettings.PendingBackColor, 0x000000FFu);

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

    // The new colour shows at the next redraw, and the icon is drawn in PNG now.
    main.CheckBox1->click();
    Open(kSample, dir.Path());
    EXPECT_TRUE(Exists(dir / "icons/alarm.png"));
    EXPECT_EQ(PreviewPixel(16, 16), 0xFFFF0000u);
}

TEST_F(DesktopTest, PreviewPaintsTheAreaAndPlacesTheIcon) {
    app::TForm2& preview = *desktop.Form2;
    auto icon = [&](int w, int h) {
        Bitmap b(w, h);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) b.SetPixel(x, y, 0xFF00FC00);
        }
        SaveBitmap(b, dir / "icon.bmp", "image/bmp");
        std::string k = dir / "icon.k";
        EncodePicture(dir / "icon.bmp", pkK18Masked, k);
        preview.RawPath = k;
        preview.ImagePath = dir / "temp.bmp";
        preview.Format = tfBmp;
        preview.show();
        preview.RedrawPreview();
    };
    preview.Background = 0xFF0000FF;
    icon(100, 50);
    EXPECT_EQ(PreviewPixel(16, 16), 0xFF0000FFu);
    EXPECT_EQ(PreviewPixel(255, 335), 0xFF0000FFu);
    EXPECT_EQ(PreviewPixel(86, 151), 0xFF00FC00u);  // centred at its own size
    EXPECT_EQ(PreviewPixel(85, 151), 0xFF0000FFu);

    preview.CheckBox1->setChecked(true);
    preview.ComboBox1Select(1);  // 2X with Stretch: 200 x 100 at 36, 126
    EXPECT_EQ(PreviewPixel(36, 126), 0xFF00FC00u);
    EXPECT_EQ(PreviewPixel(235, 225), 0xFF00FC00u);
    EXPECT_EQ(PreviewPixel(35, 126), 0xFF0000FFu);
    EXPECT_EQ(PreviewPixel(236, 226), 0xFF0000FFu);

    icon(176, 220);  // both sides cut: fills the area
    EXPECT_EQ(PreviewPixel(16, 16), 0xFF00FC00u);
    EXPECT_EQ(PreviewPixel(255, 335), 0xFF00FC00u);

    preview.CheckBox1->setChecked(false);
    icon(100, 50);
    preview.ComboBox1Select(3);  // 8X without Stretch keeps the size
    EXPECT_EQ(preview.Zoom, 8);
    EXPECT_EQ(PreviewPixel(86, 151), 0xFF00FC00u);
    EXPECT_EQ(PreviewPixel(85, 151), 0xFF0000FFu);

    EXPECT_EQ(app::PreviewPlacement(300, 10, false, 1, QRect(16, 16, 240, 320)), QRect(-14, 171, 300, 10));
}

TEST_F(DesktopTest, ErrorsEndTheCommandInTheirBoxes) {
    Open(dir / "missing.ezx", dir.Path());
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].caption, app::kAppTitle);
    EXPECT_EQ(dialogs.boxes[0].text, "File not found.");
    EXPECT_EQ(dialogs.boxes[0].detail, dir / "missing.ezx");
    EXPECT_FALSE(desktop.Form1->isVisible());  // closed after the error

    // A raw copy that cannot be created: the "Error" box, then the error box.
    Open(kSample, dir.Path());
    dialogs.boxes.clear();
    std::filesystem::remove_all(dir / "raws");
    WriteText(dir / "raws", "a file where the folder should be");
    Open(kSample, dir.Path());
    ASSERT_EQ(dialogs.boxes.size(), 2u);
    EXPECT_EQ(dialogs.boxes[0].caption, "Error");
    EXPECT_TRUE(dialogs.boxes[0].owned);
    EXPECT_FALSE(dialogs.boxes[0].stop);
    EXPECT_EQ(dialogs.boxes[1].text, "File not open.");
    EXPECT_FALSE(desktop.Form1->isVisible());

    EXPECT_EQ(app::ErrorBoxText("Disk full"), "Disk full.");
    EXPECT_EQ(app::ErrorBoxText("ends."), "ends.");
    EXPECT_EQ(app::ErrorBoxText(""), "");
}

TEST_F(DesktopTest, TwoIconsPackingToOneNameGiveNotFound) {
    Bitmap dot(2, 2);
    SaveBitmap(dot, dir / "dot.gif", "image/gif");
    SaveBitmap(dot, dir / "dot.png", "image/png");
    // Two entries of one name give icons a.gif and a.png, which both convert to a.g:
    // copying the first takes the file that the second needs.
    WriteBytes(dir / "twice.ezx", BuildArchive(HeaderText(64), {{"a.g", ReadBytes(dir / "dot.gif")},
                                                                 {"a.g", ReadBytes(dir / "dot.png")}}));
    Open(dir / "twice.ezx", dir.Path());
    dialogs.files = {FileAnswer{dir / "iconres.dat"}, FileAnswer{dir / "out.ezx"}};
    main.FileSave1Execute();
    ASSERT_EQ(dialogs.boxes.size(), 2u);
    EXPECT_EQ(dialogs.boxes[0].caption, "Not Found");
    EXPECT_FALSE(dialogs.boxes[0].owned);
    EXPECT_EQ(dialogs.boxes[1].text, "File not open.");
    EXPECT_FALSE(desktop.Form1->isVisible());
}

}  // namespace
}  // namespace tavro::test
