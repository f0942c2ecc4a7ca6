#include "app/reportwindow.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/windows.h"

namespace tavro::app {

TReportWindow::TReportWindow(QWidget* parent) : QDialog(parent) {
    setObjectName("ReportWindow");
    resize(860, 480);
    Text = new QPlainTextEdit(this);
    Text->setObjectName("ReportText");
    Text->setReadOnly(true);
    Text->setLineWrapMode(QPlainTextEdit::NoWrap);
    Text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // Read-only text still takes the keyboard, so that Ctrl+A and Ctrl+C work.
    Text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    CopyButton = new QPushButton("&Copy all", this);
    CopyButton->setObjectName("CopyButton");
    CloseButton = new QPushButton("Close", this);
    CloseButton->setObjectName("CloseButton");
    connect(CopyButton, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(Text->toPlainText()); });
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(CopyButton);
    buttons->addWidget(CloseButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Text);
    layout->addLayout(buttons);
}

void TReportWindow::ShowText(const QString& title, const QString& text) {
    setWindowTitle(title);
    Text->setPlainText(text);
    // Over the main window, as the file dialogs open, not at the screen's corner.
    CentreOver(this, parentWidget());
    show();
    raise();
    activateWindow();
}

}  // namespace tavro::app
