#include "toolkit/Dialogs.h"

#include "toolkit/Application.h"
#include "toolkit/Platform.h"

#include <vector>

bool TOpenDialog::Execute() {
  // The filter as the dialog wants it: each part ended by a zero, the whole
  // by a second one.
  std::string Filters = Filter;
  for (char& C : Filters)
    if (C == '|') C = '\0';
  Filters.append(2, '\0');

  std::vector<char> Name(32768, '\0');
  FileName.copy(Name.data(), Name.size() - 1);

  OPENFILENAMEA Dialog = {};
  Dialog.lStructSize = sizeof Dialog;
  // Owned by the window the user sees, which then takes no input until the
  // dialog closes: owned by the hidden window, it would leave that one open
  // to clicks under the dialog.
  Dialog.hwndOwner = Application ? Application->BoxOwner() : nullptr;
  Dialog.lpstrFilter = Filters.c_str();
  Dialog.nFilterIndex = static_cast<DWORD>(FilterIndex);
  Dialog.lpstrFile = Name.data();
  Dialog.nMaxFile = static_cast<DWORD>(Name.size());
  Dialog.lpstrInitialDir = InitialDir.empty() ? nullptr : InitialDir.c_str();
  Dialog.lpstrTitle = Title.empty() ? nullptr : Title.c_str();
  Dialog.lpstrDefExt = DefaultExt.empty() ? nullptr : DefaultExt.c_str();
  Dialog.Flags = Options | OFN_EXPLORER;
  if (!Platform().GetOpenFileNameA(&Dialog)) return false;
  FileName = Name.data();
  FilterIndex = static_cast<int>(Dialog.nFilterIndex);
  return true;
}
