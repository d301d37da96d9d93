#pragma once

#include "app/SysColorDialog.h"

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

// Adds "About VQ Setup Utility..." to the window's right-click menu.
void AddAboutAction(QWidget* window);
