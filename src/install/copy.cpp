#include "install/copy.h"

#include "resource.h"
#include "shell/fatal.h"
#include "shell/progress.h"

int CopyPayload(HWND dialog) {
  HWND bar = BeginProgress(dialog, IDC_COPY_PROGRESS, "Copying files...");

  for (int i = 0; PayloadTable[i].Name != NULL; i++) {
    AdvanceProgress(dialog, IDC_COPY_PROGRESS, i);
    WritePayloadFile(PayloadTable[i].Name, PayloadTable[i]);
  }

  ShowWindow(bar, SW_HIDE);
  SetDlgItemTextA(dialog, IDC_STATUS, "Files have been copied to the following folder:");
  return 1;
}

void WritePayloadFile(const char *name, PayloadEntry entry) {
  // A file that is not there is nothing to delete; anything else in the way
  // (read-only file, folder, missing path) is fatal.
  if (!DeleteFileA(name)) {
    DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND)
      FatalError(FATAL_DELETE_FILE, "can't delete file %s\nWin Err Code %i", name, (int)error);
  }

  HANDLE file = CreateFileA(name, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE)
    FatalError(FATAL_CREATE_FILE, "can't create file %s\nWin Err Code %i", name,
               (int)GetLastError());

  DWORD written;
  if (!WriteFile(file, entry.Data, entry.Size, &written, NULL))
    FatalError(FATAL_WRITE_FILE, "can't write file %s\nWin Err Code %i", name,
               (int)GetLastError());
  if (written != entry.Size)
    FatalError(FATAL_WRITE_COUNT, "file write error %s\nWin Err Code %i", name,
               (int)GetLastError());

  // Through the open handle, so closing cannot move the write time.
  if (!SetFileTime(file, &entry.FileTime, &entry.FileTime, &entry.FileTime))
    FatalError(FATAL_SET_FILE_TIME, "can';t set file time %s\nWin Err Code %i", name,
               (int)GetLastError());

  if (!CloseHandle(file))
    FatalError(FATAL_CLOSE_FILE, "file close error %s\nWin Err Code %i", name,
               (int)GetLastError());
}
