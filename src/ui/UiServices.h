#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <string>

#include "Notifier.h"

class QWidget;

namespace orbench::ui {

// Every message box and file dialog of the windows goes through these functions, so that tests
// can answer them instead of a person.
enum class TBoxKind { Information, Warning, Error };

struct TFileDialogRequest {
    bool Save = false;
    QString Caption;
    QString Directory;
    QString ProposedName;
    QString Filter;
    QString DefaultSuffix;
};

using TMessageBoxHandler = std::function<void(TBoxKind Kind, const QString& Text)>;
// Returns the chosen file name, or an empty text for "cancel".
using TFileDialogHandler = std::function<QString(const TFileDialogRequest& Request)>;

void ShowMessageBox(QWidget* Parent, TBoxKind Kind, const QString& Text);
QString RunFileDialog(QWidget* Parent, const TFileDialogRequest& Request);

// Replace the real dialogs (tests); an empty handler restores them.
void SetMessageBoxHandler(TMessageBoxHandler Handler);
void SetFileDialogHandler(TFileDialogHandler Handler);

// Texts between the model (8-bit, the system's code page) and the windows.
inline QString FromModel(const std::string& Text) { return QString::fromLocal8Bit(Text.c_str()); }
inline std::string ToModel(const QString& Text) { return Text.toLocal8Bit().toStdString(); }

// A control's hint: its tool tip, and its first line as the status bar text.
void SetHint(QWidget* Widget, const QString& Hint);

// The filter of every file dialog of the program.
extern const char* const TextFileFilter;

// The model's messages shown as message boxes.
class TMessageBoxNotifier : public TNotifier {
public:
    explicit TMessageBoxNotifier(QWidget* Parent = nullptr) : FParent(Parent) {}
    void SetParent(QWidget* Parent) { FParent = Parent; }
    void ShowMessage(TMessageKind Kind, const std::string& Text) override;

private:
    QWidget* FParent;
};

// Shows the busy cursor for its lifetime.
class TBusyCursor {
public:
    TBusyCursor();
    ~TBusyCursor();
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;
};

}  // namespace orbench::ui
