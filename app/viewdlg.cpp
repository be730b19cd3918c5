#include "viewdlg.h"

TFmViewDlg::TFmViewDlg(QWidget* parent) : QDialog(parent) { setWindowTitle("View Setting"); }
