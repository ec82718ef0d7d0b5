#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <string>

#include "Notifier.h"

class QPushButton;
class QWidget;

namespace orbench {
class TCaseMix;
}

namespace orbench::ui {

// Every message box and file dialog of the windows goes through these functions, so that tests
// can answer them instead of a person.
enum class TBoxKind { bkInformation, bkWarning, bkError };

struct TFileDialogRequest {
    bool Save = false;
    // Choose a folder (an existing one) instead of a file; Filter and DefaultSuffix are not used.
    bool Folder = false;
    QString Caption;
    QString Directory;
    QString ProposedName;
    QString Filter;
    QString DefaultSuffix;
};

using TMessageBoxHandler = std::function<void(TBoxKind Kind, const QString& Text)>;
// Returns the chosen file or folder name, or an empty text for "cancel".
using TFileDialogHandler = std::function<QString(const TFileDialogRequest& Request)>;
// Returns true for "Yes".
using TQuestionHandler = std::function<bool(const QString& Text)>;

void ShowMessageBox(QWidget* Parent, TBoxKind Kind, const QString& Text);
QString RunFileDialog(QWidget* Parent, const TFileDialogRequest& Request);
// A question with the buttons Yes and No (No is the default); true for Yes.
bool AskYesNo(QWidget* Parent, const QString& Text);

// Replace the real dialogs (tests); an empty handler restores them.
void SetMessageBoxHandler(TMessageBoxHandler Handler);
void SetFileDialogHandler(TFileDialogHandler Handler);
void SetQuestionHandler(TQuestionHandler Handler);

// Texts between the model (8-bit, the system's code page) and the windows.
inline QString FromModel(const std::string& Text) { return QString::fromLocal8Bit(Text.c_str()); }
inline std::string ToModel(const QString& Text) { return Text.toLocal8Bit().toStdString(); }

// A control's hint: its tool tip, and its first line as the status bar text.
void SetHint(QWidget* Widget, const QString& Hint);

// The tool tip of a case mix's entry in a list: the full path of the file it was read from (empty
// for a case mix made in memory), so that case mixes of the same name can be told apart.
QString CaseMixToolTip(const TCaseMix& CaseMix);

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

// Hands a window's stop poll (process pending window messages, answer whether STOP was pressed)
// to engine settings that can take one as their member StopRequested; settings without that
// member are left as they are, and the window then stops at its own check points only.
template <class TSettings, class TPoll>
void ConnectStopPoll(TSettings& Settings, TPoll Poll)
{
    if constexpr (requires { Settings.StopRequested = Poll; }) Settings.StopRequested = std::move(Poll);
}

// Fixes a button's width to the widest of its captions, so that it keeps its size and place when
// its caption changes (a run button that reads "&STOP" while its run is in progress).
void FixWidthForCaptions(QPushButton* Button, const QStringList& Captions);

// Shows the busy cursor for its lifetime.
class TBusyCursor {
public:
    TBusyCursor();
    ~TBusyCursor();
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;
};

}  // namespace orbench::ui
