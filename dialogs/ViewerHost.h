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
    // An information box.
    virtual void ShowMessage(const std::string& text) = 0;
    // Opens a page of the program's help ("slice.html", ...) with the configured browser.
    virtual void OpenHelp(const std::string& page) = 0;

  protected:
    ~TViewerHost() = default;
};

// For a dialog shown without a host (tests): the desktop's message box and help stand in.
void ShowMessage(TViewerHost* host, const std::string& text);
void OpenHelp(TViewerHost* host, const std::string& page);
