// Base classes of every dialog and wizard page.
#pragma once

#include <QDialog>
#include <QVBoxLayout>
#include <QWidget>

class QLabel;

class CMainWizard;
class CSetupContext;
struct CWizardChoices;

class CSysColorDialog : public QDialog {
    Q_OBJECT
public:
    explicit CSysColorDialog(QWidget* parent = nullptr);
};

// One wizard page. The frame calls OnInitDialog once, before the first
// activation; OnSetActive on each activation (false refuses it); OnKillActive
// when the page is left (false keeps it). OnWizardNext/OnWizardBack return -1
// when the page has moved the sheet itself through GoToPage, 0 to stay.
//
// Controls are named "<kind><id>" after their dialog control ids, e.g.
// "combo1046", "edit1043", "btn1032", "radio1000", "pic1045", "check1004",
// "list1009", "tree1039", "group1017", "static1012"; the prompt text is
// "prompt".
class CSysColorPropertyPage : public QWidget {
    Q_OBJECT
public:
    CSysColorPropertyPage(int pageId, QWidget* parent = nullptr);

    int PageId() const { return m_pageId; }
    CMainWizard* Sheet() const { return m_sheet; }
    void AttachSheet(CMainWizard* sheet) { m_sheet = sheet; }
    // The wizard context the page works on and the user's choices, both the
    // sheet's; without a sheet the page has no context and choices of its own.
    void AttachContext(CSetupContext* context, CWizardChoices* choices) {
        m_context = context;
        m_choices = choices;
    }
    CSetupContext* Context() const { return m_context; }
    CWizardChoices& Choices() const;
    bool IsInitialised() const { return m_initialised; }
    void MarkInitialised() { m_initialised = true; }

    virtual void OnInitDialog();
    virtual bool OnSetActive();
    virtual bool OnKillActive() { return true; }
    virtual int OnWizardNext();
    virtual int OnWizardBack();
    virtual bool OnWizardFinish() { return true; }

protected:
    QVBoxLayout* Body() const { return m_body; }
    QLabel* AddPrompt(const QString& text);

    QLabel* m_pic1045;

private:
    int m_pageId;
    CMainWizard* m_sheet = nullptr;
    CSetupContext* m_context = nullptr;
    CWizardChoices* m_choices = nullptr;
    bool m_initialised = false;
    QVBoxLayout* m_body;
};
