// Placeholder window; its owner fills it in.
#pragma once

#include <QDialog>

class TFmViewDlg : public QDialog {
    Q_OBJECT
public:
    explicit TFmViewDlg(QWidget* parent = nullptr);
};
