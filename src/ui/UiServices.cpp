#include "UiServices.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QWidget>
#include <algorithm>

#include "Model.h"

namespace orbench::ui {

namespace {

TMessageBoxHandler& MessageBoxHandler()
{
    static TMessageBoxHandler Handler;
    return Handler;
}

TFileDialogHandler& FileDialogHandler()
{
    static TFileDialogHandler Handler;
    return Handler;
}

TQuestionHandler& QuestionHandler()
{
    static TQuestionHandler Handler;
    return Handler;
}

}  // namespace

const char* const TextFileFilter = "Text files (*.txt);;All files (*)";

void ShowMessageBox(QWidget* Parent, TBoxKind Kind, const QString& Text)
{
    if (MessageBoxHandler()) {
        MessageBoxHandler()(Kind, Text);
        return;
    }
    const QString Title = QApplication::applicationDisplayName();
    switch (Kind) {
        case TBoxKind::bkInformation: QMessageBox::information(Parent, Title, Text); break;
        case TBoxKind::bkWarning: QMessageBox::warning(Parent, Title, Text); break;
        case TBoxKind::bkError: QMessageBox::critical(Parent, Title, Text); break;
    }
}

bool AskYesNo(QWidget* Parent, const QString& Text)
{
    if (QuestionHandler()) return QuestionHandler()(Text);
    return QMessageBox::question(Parent, QApplication::applicationDisplayName(), Text,
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

QString RunFileDialog(QWidget* Parent, const TFileDialogRequest& Request)
{
    if (FileDialogHandler()) return FileDialogHandler()(Request);
    // A folder not made yet (that of a first batch run, say): the dialog opens in the nearest one
    // that exists rather than in the working directory.
    QString Directory = QDir::cleanPath(Request.Directory);
    while (!Request.Directory.isEmpty() && !QFileInfo(Directory).isDir()) {
        const QString Up = QFileInfo(Directory).path();
        if (Up == Directory) break;
        Directory = Up;
    }
    if (Request.Folder) {
        QFileDialog Dialog(Parent, Request.Caption, Directory);
        Dialog.setAcceptMode(QFileDialog::AcceptOpen);
        Dialog.setFileMode(QFileDialog::Directory);
        Dialog.setOption(QFileDialog::ShowDirsOnly);
        if (Dialog.exec() != QDialog::Accepted || Dialog.selectedFiles().isEmpty()) return {};
        return Dialog.selectedFiles().first();
    }
    QFileDialog Dialog(Parent, Request.Caption, Directory, Request.Filter);
    Dialog.setAcceptMode(Request.Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    Dialog.setFileMode(Request.Save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!Request.DefaultSuffix.isEmpty()) {
        Dialog.setDefaultSuffix(Request.DefaultSuffix);
        // A name typed without extension gets that of the chosen type ("PNG pictures (*.png)").
        QObject::connect(&Dialog, &QFileDialog::filterSelected, &Dialog, [&Dialog, &Request](const QString& Filter) {
            const QRegularExpressionMatch Match = QRegularExpression("\\*\\.(\\w+)").match(Filter);
            Dialog.setDefaultSuffix(Match.hasMatch() ? Match.captured(1) : Request.DefaultSuffix);
        });
    }
    if (!Request.ProposedName.isEmpty()) Dialog.selectFile(Request.ProposedName);
    if (Dialog.exec() != QDialog::Accepted || Dialog.selectedFiles().isEmpty()) return {};
    return Dialog.selectedFiles().first();
}

void SetHint(QWidget* Widget, const QString& Hint)
{
    QString Plain = Hint;
    Plain.replace("\r\n", "\n");
    Widget->setToolTip(Plain);
    Widget->setStatusTip(Plain.section('\n', 0, 0));
}

void FixWidthForCaptions(QPushButton* Button, const QStringList& Captions)
{
    const QString Caption = Button->text();
    int Width = 0;
    for (const QString& Text : Captions) {
        Button->setText(Text);
        Width = std::max(Width, Button->sizeHint().width());
    }
    Button->setText(Caption);
    Button->setFixedWidth(Width);
}

QString CaseMixToolTip(const TCaseMix& CaseMix)
{
    if (CaseMix.FileName.empty()) return {};
    return QFileInfo(FromModel(CaseMix.FileName)).absoluteFilePath();
}

void SetMessageBoxHandler(TMessageBoxHandler Handler) { MessageBoxHandler() = std::move(Handler); }

void SetFileDialogHandler(TFileDialogHandler Handler) { FileDialogHandler() = std::move(Handler); }

void SetQuestionHandler(TQuestionHandler Handler) { QuestionHandler() = std::move(Handler); }

void TMessageBoxNotifier::ShowMessage(TMessageKind Kind, const std::string& Text)
{
    const TBoxKind Box = Kind == TMessageKind::mError     ? TBoxKind::bkError
                         : Kind == TMessageKind::mWarning ? TBoxKind::bkWarning
                                                          : TBoxKind::bkInformation;
    ShowMessageBox(FParent, Box, FromModel(Text));
}

TBusyCursor::TBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }

TBusyCursor::~TBusyCursor() { QApplication::restoreOverrideCursor(); }

}  // namespace orbench::ui
