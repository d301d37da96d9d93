// The small modeless dialog shown in front of the wizard while a compression
// or a load runs: an animated picture, a status line and a Cancel button.
#pragma once

#include <QPixmap>
#include <QPointer>
#include <array>

#include "app/SysColorDialog.h"

class QLabel;
class QPushButton;
class QTimer;
class CMainWizard;

class CCancelDlg : public CSysColorDialog {
    Q_OBJECT
public:
    explicit CCancelDlg(CMainWizard* owner);
    ~CCancelDlg() override;

    // Clears m_bCancelled and shows the window; input to the sheet is held
    // back until the window goes away.
    void ShowModeless();
    void DestroyWindow();
    bool HasWindow() const { return m_hasWindow; }
    void SetStatusText(const QString& text);
    QString StatusText() const;
    void OnCancel();
    QPushButton* CancelButton() const { return m_cancel; }
    int ShownFrame() const { return m_shownFrame; }

    bool m_bCancelled = false;
    CMainWizard* m_pOwner;

    // Shared by every showing, so the animation resumes where it stopped.
    static int s_frameCounter;

protected:
    void reject() override { OnCancel(); }
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void ShowFrame(int n);
    void OnTimer();

    std::array<QPixmap, 6> m_bmpFrames;
    QLabel* m_text;     // 1022
    QLabel* m_picture;  // 1021
    QPushButton* m_cancel;
    QTimer* m_timer;
    bool m_hasWindow = false;
    int m_shownFrame = 0;
};

// Handler of the object server's progress event: runs pending events so the
// Cancel dialog answers, and keeps the hourglass everywhere but over Cancel.
void BusyPump(CCancelDlg* dlg);
