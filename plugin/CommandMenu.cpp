#include "plugin/CommandMenu.h"

#include "commands/CommandCaptions.h"

namespace Tarnwick {

const std::array<TMenuEntry, 19>& CommandMenuEntries() {
  static const std::array<TMenuEntry, 19> Entries{{
      {MF_STRING, 1, CommandCaption(1).data()},
      {MF_STRING, 2, CommandCaption(2).data()},
      {MF_SEPARATOR, 0, u""},
      {MF_STRING, 3, CommandCaption(3).data()},
      {MF_STRING, 4, CommandCaption(4).data()},
      {MF_SEPARATOR, 0, u""},
      {MF_STRING, 5, CommandCaption(5).data()},
      {MF_STRING, 6, CommandCaption(6).data()},
      {MF_SEPARATOR, 0, u""},
      {MF_STRING, 7, CommandCaption(7).data()},
      {MF_STRING, 8, CommandCaption(8).data()},
      {MF_SEPARATOR, 0, u""},
      {MF_STRING, 9, CommandCaption(9).data()},
      {MF_SEPARATOR, 0, u""},
      {MF_STRING, 10, CommandCaption(10).data()},
      {MF_STRING, 11, CommandCaption(11).data()},
      {MF_STRING, 12, CommandCaption(12).data()},
      {MF_SEPARATOR, 0, u""},
      {MF_STRING, 0, CommandCaption(0).data()},
  }};
  return Entries;
}

namespace {

// Destroys the menu on every way out once the choice is known.
class TMenuHandle {
 public:
  TMenuHandle() : FMenu(CreatePopupMenu()) {}
  TMenuHandle(const TMenuHandle&) = delete;
  TMenuHandle& operator=(const TMenuHandle&) = delete;
  ~TMenuHandle() {
    if (FMenu) DestroyMenu(FMenu);
  }
  HMENU Get() const { return FMenu; }

 private:
  HMENU FMenu;
};

}  // namespace

uint8_t ChooseCommand(HWND Window) {
  TMenuHandle Menu;
  if (!Menu.Get()) return CommandCancel;
  for (const TMenuEntry& Entry : CommandMenuEntries()) {
    if (!AppendMenuW(Menu.Get(), Entry.Flags, Entry.Id, AsWide(Entry.Caption))) {
      return CommandCancel;
    }
  }
  POINT Cursor{0, 0};
  GetCursorPos(&Cursor);
  const BOOL Chosen =
      TrackPopupMenu(Menu.Get(), TPM_RETURNCMD, Cursor.x, Cursor.y, 0, Window, nullptr);
  // Only the menu's own identifiers are commands; anything else counts as no choice.
  if (Chosen < 0 || Chosen > CommandDuplicationHighlight) return CommandCancel;
  return static_cast<uint8_t>(Chosen);
}

}  // namespace Tarnwick
