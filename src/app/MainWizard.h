// The wizard sheet: side bitmap, a stack of the nine pages, and the Back,
// Next, Finish and Exit buttons. The order of the pages comes from the main
// option; pages move the sheet through GoToPage.
#pragma once

#include <QDialog>
#include <QMap>
#include <QPixmap>
#include <QStringList>
#include <memory>

#include "context/PageFlow.h"
#include "context/WizardChoices.h"

class QPushButton;
class CSetupContext;
class QStackedWidget;
class CSysColorPropertyPage;
class CCancelDlg;
class CPageMain;
class CPageSelectDB;
class CPageSelectSubsys;
class CPageCompress;
class CPageGetFile;
class CPageLoadOption;
class CPageBatch;
class CPageAppImage;
class CPageLoad;

// Button flags of SetWizardButtons.
enum : int { kWizBack = 1, kWizNext = 2, kWizFinish = 4, kWizDisabledFinish = 8 };

class CMainWizard : public QDialog {
    Q_OBJECT
public:
    // The pages work on context (none: the one the wizard's window set up).
    explicit CMainWizard(CSetupContext* context, QWidget* parent = nullptr);
    CMainWizard();
    ~CMainWizard() override;

    // Moves to the neighbour of pageId in the current flow.
    void GoToPage(int pageId, bool forward);
    bool IsPageInFlow(int pageId) const;
    static const std::vector<int>& Flow(int mainOption) { return PageFlow(mainOption); }
    CSetupContext* Context() const { return m_context; }

    // Queued, like a posted message: the last call before the event loop runs wins.
    void SetWizardButtons(int flags);
    void SetCancelText(const QString& text);
    void SetActivePage(int pageId);
    void EnableCancel(bool on);

    int CurrentPageId() const;
    CSysColorPropertyPage* Page(int pageId) const { return m_pageMap.value(pageId); }
    int ButtonFlags() const { return m_buttons; }
    QPushButton* BackButton() const { return m_back; }
    QPushButton* NextButton() const { return m_next; }
    QPushButton* FinishButton() const { return m_finish; }
    QPushButton* CancelButton() const { return m_cancel; }

    // Destroys the Cancel dialog's window (the sheet's WM_USER+5).
    void DestroyCancelWindow();

    // Pages, in the order of the page ids 0 to 5, then 7, 6, 8. Owned by the stack.
    CPageMain* m_pageMain = nullptr;
    CPageSelectDB* m_pageSelectDB = nullptr;
    CPageSelectSubsys* m_pageSelectSubsys = nullptr;
    CPageCompress* m_pageCompress = nullptr;
    CPageGetFile* m_pageGetFile = nullptr;
    CPageLoadOption* m_pageLoadOption = nullptr;
    CPageAppImage* m_pageAppImage = nullptr;
    CPageBatch* m_pageBatch = nullptr;
    CPageLoad* m_pageLoad = nullptr;

    QPixmap m_bmpSide;
    int m_curPageId = 0;
    std::unique_ptr<CCancelDlg> m_pCancelDlg;
    // What the user chose; the main option selects the flow.
    CWizardChoices m_choices;
    QMap<int, CSysColorPropertyPage*> m_pageMap;

protected:
    void reject() override;
    bool event(QEvent* e) override;

private:
    void OnNext();
    void OnBack();
    void OnFinish();
    void ApplyButtons(int flags);
    void AddPage(CSysColorPropertyPage* page);

    CSetupContext* m_context;
    QStackedWidget* m_stack;
    QPushButton* m_back;
    QPushButton* m_next;
    QPushButton* m_finish;
    QPushButton* m_cancel;
    int m_buttons = kWizNext;
    int m_pendingButtons = -1;
};
