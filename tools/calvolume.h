// Placeholder window; its owner fills it in.
#pragma once

#include <QDialog>

class TFmCalVolume : public QDialog {
    Q_OBJECT
public:
    explicit TFmCalVolume(QWidget* parent = nullptr);
};
