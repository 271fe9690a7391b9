#include "toolkit/Menus.h"

#include <memory>
#include <type_traits>

namespace {

struct TMenuDeleter {
  void operator()(HMENU Menu) const { DestroyMenu(Menu); }
};
using TMenuHandle = std::unique_ptr<std::remove_pointer_t<HMENU>, TMenuDeleter>;

}  // namespace

bool TPopupMenu::Popup(int X, int Y, HWND Owner, const RECT* Exclude) {
  TMenuHandle Menu(CreatePopupMenu());
  if (!Menu) return false;
  for (size_t I = 0; I < FItems.size(); ++I) {
    const TMenuItem* Item = FItems[I];
    if (!Item->Visible()) continue;
    UINT Id = static_cast<UINT>(I + 1);
    if (Item->Caption() == "-") {
      AppendMenuA(Menu.get(), MF_SEPARATOR, 0, nullptr);
      continue;
    }
    AppendMenuA(Menu.get(), MF_STRING | (Item->Enabled() ? 0 : MF_GRAYED), Id, Item->Caption().c_str());
    if (Item->Default()) SetMenuDefaultItem(Menu.get(), Id, FALSE);
  }
  // Moved off the excluded rectangle up or down, as a menu above or below a
  // task bar's icon goes.
  TPMPARAMS Params = {sizeof Params, Exclude ? *Exclude : RECT{}};
  UINT Chosen = static_cast<UINT>(
      TrackPopupMenuEx(Menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY | (Exclude ? TPM_VERTICAL : 0), X, Y,
                       Owner, Exclude ? &Params : nullptr));
  // Without a message after the menu, a second pop-up from the notification
  // area may close at once.
  PostMessageA(Owner, WM_NULL, 0, 0);
  if (Chosen == 0 || Chosen > FItems.size()) return false;
  FItems[Chosen - 1]->Click();
  return true;
}
