// What a dialog may ask of the window that shows the document: the main window implements
// it, tests put their own in its place.
#pragma once

#include "geometry/MyFunctions.h"

#include <string>

class TViewerHost {
  public:
    // Redraws the picture now (synchronously).
    virtual void Repaint() = 0;
    // Moves the view so that the point is in the middle and marks it.
    virtual void CentreOn(const TVector& point) = 0;
    // Removes the mark.
    virtual void ClearPointMark() = 0;
    virtual bool HasPointMark() const = 0;
    // An information box, an error box, a question (true = OK).
    virtual void ShowMessage(const std::string& text) = 0;
    virtual void ShowError(const std::string& text) = 0;
    virtual bool AskOkCancel(const std::string& text) = 0;
    // Opens a page of the program's help ("slice.html", ...) with the configured browser.
    virtual void OpenHelp(const std::string& page) = 0;

  protected:
    ~TViewerHost() = default;
};

// For a dialog shown without a host (tests): the toolkit's boxes and the desktop's help stand
// in.
void ShowMessage(TViewerHost* host, const std::string& text);
void ShowError(TViewerHost* host, const std::string& text);
bool AskOkCancel(TViewerHost* host, const std::string& text);
void OpenHelp(TViewerHost* host, const std::string& page);
