// Every message box of the program goes through the prompter: QMessageBox in
// the program, a scripted prompter in tests and in headless runs.
#pragma once

#include <QString>
#include <deque>
#include <vector>

namespace ovx {
class Error;
}

enum class MsgIcon { None, Exclamation, Stop, Information, Question };
enum class MsgButtons { Ok, YesNo };
enum class MsgResult { Ok, Yes, No };

struct MessageBoxRequest {
    QString text;
    QString caption;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
    bool defaultNo = false;  // No is the default button
};

class IPrompter {
public:
    virtual ~IPrompter() = default;
    virtual MsgResult Show(const MessageBoxRequest& request) = 0;
};

// The prompter in force; a scripted one answering Ok/Yes until one is set.
IPrompter& Prompter();
void SetPrompter(IPrompter* prompter);  // not owned; null restores the default

// Captions used throughout.
inline const char* const kAppCaption = "Vaquor Setup Utility";
inline const char* const kWizardCaption = "Vaquor Loading Wizard";
inline const char* const kErrorCaption = "Error";

// The application message box: caption "Vaquor Setup Utility"; with no icon
// named, OK and Yes/No boxes show the exclamation icon.
MsgResult AppMessageBox(const QString& text, MsgButtons buttons = MsgButtons::Ok,
                        MsgIcon icon = MsgIcon::Exclamation);
// A box with caption "Error" (stop icon unless told otherwise).
MsgResult ErrorBox(const QString& text, MsgIcon icon = MsgIcon::Stop);
// Any caption, icon and buttons.
MsgResult MessageBox(const QString& text, const QString& caption, MsgIcon icon,
                     MsgButtons buttons = MsgButtons::Ok, bool defaultNo = false);
// prefix + description (description alone when prefix is null), caption
// "Error", stop icon.
void ReportOleError(const ovx::Error& error, const char* prefix = nullptr);

// Records every box and answers from a queue (Yes/Ok when the queue is empty).
class ScriptedPrompter : public IPrompter {
public:
    MsgResult Show(const MessageBoxRequest& request) override;
    void Answer(MsgResult r) { m_answers.push_back(r); }
    std::vector<MessageBoxRequest> boxes;

private:
    std::deque<MsgResult> m_answers;
};
