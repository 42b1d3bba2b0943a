#pragma once

#include <QDialog>

// "About Quorvel Arm": the application icon, the version text and OK.
class CAboutDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr int IDD = 100;
    explicit CAboutDlg(QWidget *parent = nullptr);
};
