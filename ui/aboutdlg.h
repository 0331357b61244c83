#pragma once

#include "win/dialog.h"

// The about box: the program icon, its name and version, and OK.
class CAboutDlg : public win::Dialog {
  public:
    CAboutDlg();

  protected:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};
