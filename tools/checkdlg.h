// Placeholder window; its owner fills it in.
#pragma once

#include <QDialog>

class TFmCheckDlg : public QDialog {
    Q_OBJECT
public:
    explicit TFmCheckDlg(QWidget* parent = nullptr);
};
