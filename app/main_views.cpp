// Display settings dialog, view points and animation commands of the main window.
#include "main.h"

#include "app/resource.h"

void TFmMain::MenuViewSetClick() {}
void TFmMain::MEyeLoadFileClick() {}
void TFmMain::MEyeSaveFileClick() {}
void TFmMain::MEyeSaveClick(int) {}
void TFmMain::MEyeLoadClick(int) {}
void TFmMain::MenuAnimationClick() {}
void TFmMain::STCommentDblClick() {}

void TFmMain::SetTimeFields() { DisplaySettings.TimeOn = DisplaySettings.HasTime; }
void TFmMain::ClearTimeOption() { DisplaySettings.TimeOn = false; }
