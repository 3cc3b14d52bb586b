#include "shell/progress.h"

#include "resource.h"
#include "shell/config.h"

HWND BeginProgress(HWND dialog, int barId, const char *status) {
  SetDlgItemTextA(dialog, IDC_STATUS, status);
  HWND bar = GetDlgItem(dialog, barId);
  ShowWindow(bar, SW_SHOW);
  // The bar's range is 16-bit: the row count goes in the high word.
  SendDlgItemMessageA(dialog, barId, PBM_SETRANGE, 0, MAKELPARAM(0, CountPayloadRows()));
  return bar;
}

void AdvanceProgress(HWND dialog, int barId, int finishedRows) {
  SendDlgItemMessageA(dialog, barId, PBM_SETPOS, finishedRows, 0);
}
