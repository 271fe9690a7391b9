#pragma once
// The caption panel: the standard panel with two switches that turn off its
// own painting and its background erase, so that the controls placed on it
// can cover it alone. The main window's caption strip is one, filled by its
// gradient.

#include "toolkit/ExtCtrls.h"

class TKVRPanel : public TPanel {
 public:
  using TPanel::TPanel;

  // Off: WM_ERASEBKGND fills nothing and reports the background as not
  // erased.
  bool EraseBackground() const { return FEraseBackground; }
  void SetEraseBackground(bool Value);
  // Off: no bevel and no caption; the children are painted all the same.
  // On while the erase is off, it fills the panel in its colour first.
  bool PaintPanel() const { return FPaintPanel; }
  void SetPaintPanel(bool Value);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void Paint(TCanvas& Canvas) override;
  bool DoEraseBackground(HDC DC) override;

 private:
  bool FEraseBackground = true;
  bool FPaintPanel = true;
};
