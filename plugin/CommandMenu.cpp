#include "plugin/CommandMenu.h"

#include "commands/CommandCaptions.h"

namespace Tarnwick {

const std::array<TMenuEntry, 19>& CommandMenuEntries() {
  static const std::array<TMenuEntry, 19> Entries{{
      {MF_STRING, ciSortAscending, CommandCaption(ciSortAscending).data()},
      {MF_STRING, ciSortDescending, CommandCaption(ciSortDescending).data()},
      {MF_SEPARATOR, ciCancel, u""},
      {MF_STRING, ciReverseTextAscending, CommandCaption(ciReverseTextAscending).data()},
      {MF_STRING, ciReverseTextDescending, CommandCaption(ciReverseTextDescending).data()},
      {MF_SEPARATOR, ciCancel, u""},
      {MF_STRING, ciNumericAscending, CommandCaption(ciNumericAscending).data()},
      {MF_STRING, ciNumericDescending, CommandCaption(ciNumericDescending).data()},
      {MF_SEPARATOR, ciCancel, u""},
      {MF_STRING, ciByteLengthAscending, CommandCaption(ciByteLengthAscending).data()},
      {MF_STRING, ciByteLengthDescending, CommandCaption(ciByteLengthDescending).data()},
      {MF_SEPARATOR, ciCancel, u""},
      {MF_STRING, ciReverse, CommandCaption(ciReverse).data()},
      {MF_SEPARATOR, ciCancel, u""},
      {MF_STRING, ciDuplicationDelete, CommandCaption(ciDuplicationDelete).data()},
      {MF_STRING, ciDuplicationCount, CommandCaption(ciDuplicationCount).data()},
      {MF_STRING, ciDuplicationHighlight, CommandCaption(ciDuplicationHighlight).data()},
      {MF_SEPARATOR, ciCancel, u""},
      {MF_STRING, ciCancel, CommandCaption(ciCancel).data()},
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
  if (!Menu.Get()) return ciCancel;
  for (const TMenuEntry& Entry : CommandMenuEntries()) {
    if (!AppendMenuW(Menu.Get(), Entry.Flags, Entry.Id, AsWide(Entry.Caption))) {
      return ciCancel;
    }
  }
  POINT Cursor{0, 0};
  GetCursorPos(&Cursor);
  const BOOL Chosen =
      TrackPopupMenu(Menu.Get(), TPM_RETURNCMD, Cursor.x, Cursor.y, 0, Window, nullptr);
  // Only the menu's own identifiers are commands; anything else counts as no choice.
  if (Chosen < 0 || Chosen > ciDuplicationHighlight) return ciCancel;
  return static_cast<uint8_t>(Chosen);
}

}  // namespace Tarnwick
