// TOKRightDlg: the settings dialog. It keeps the user's choices in the pending
// settings at once; the main window applies them when the dialog ends with OK.
#pragma once

#include <cstdint>

#include <QDialog>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

namespace tavro::app {

class Dialogs;

// The colour swatch: a rectangle filled with one colour.
class TShape : public QWidget {
public:
    explicit TShape(QWidget* parent) : QWidget(parent) {}
    std::uint32_t Color = 0;  // 0x00BBGGRR

protected:
    void paintEvent(QPaintEvent* event) override;
};

class TOKRightDlg : public QDialog {
    Q_OBJECT
public:
    explicit TOKRightDlg(Dialogs& dialogs);

    QFrame* Bevel1;
    QCheckBox* CheckBox1;
    QLabel* Label1;
    QComboBox* ComboBox1;
    QPushButton* Button1;
    TShape* Shape1;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

    void FormShow();
    void ComboBox1Select(int index);
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Dialogs& dialogs_;
    std::uint32_t pickerColor_ = 0;  // the picker starts on the colour it returned last
};

}  // namespace tavro::app
