// Placeholder window; its owner fills it in.
#pragma once

#include <QDialog>

class TFmMakeDlg : public QDialog {
    Q_OBJECT
public:
    explicit TFmMakeDlg(QWidget* parent = nullptr);
};
