#include "calvolume.h"

TFmCalVolume::TFmCalVolume(QWidget* parent) : QDialog(parent) { setWindowTitle("Volume Calculation"); }
