#include "makedlg.h"

TFmMakeDlg::TFmMakeDlg(QWidget* parent) : QDialog(parent) { setWindowTitle("Make Geometry"); }
