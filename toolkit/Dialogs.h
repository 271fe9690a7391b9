#pragma once
// The common open-file dialog.

#include "toolkit/Classes.h"

#include <windows.h>
#include <commdlg.h>

#include <string>

class TOpenDialog : public TComponent {
 public:
  using TComponent::TComponent;

  std::string Title;
  // Pairs of description and pattern, separated by "|":
  // "Wave Files (*.wav)|*.wav|Any Files (*.*)|*.*".
  std::string Filter;
  int FilterIndex = 1;  // the pair shown first, counted from 1
  // Added to a typed name that has no extension; without its period.
  std::string DefaultExt;
  std::string InitialDir;
  DWORD Options = OFN_HIDEREADONLY | OFN_ENABLESIZING;
  // In: the name the dialog starts with. Out: the chosen file's full path.
  std::string FileName;

  // Runs the dialog modally, owned by the window the user works in; true when
  // the user confirmed a file.
  bool Execute();
};
