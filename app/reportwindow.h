// A window that shows a report (a check's table, a comparison) in a fixed-width font,
// to be read, selected and copied.
#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace tavro::app {

class TReportWindow : public QDialog {
    Q_OBJECT
public:
    explicit TReportWindow(QWidget* parent = nullptr);

    void ShowText(const QString& title, const QString& text);

    QPlainTextEdit* Text;
    QPushButton* CopyButton;
    QPushButton* CloseButton;
};

}  // namespace tavro::app
