#include "plugin/CommandMenu.h"

namespace Tarnwick {

const std::array<TMenuEntry, 19>& CommandMenuEntries() {
  static const std::array<TMenuEntry, 19> Entries{{
      {MF_STRING, 1, u"昇順に並び替える(辞書順)"},
      {MF_STRING, 2, u"降順に並び替える(辞書順)"},
      {MF_SEPARATOR, 0, u""},
      {MF_STRING, 3, u"昇順に並び替える(後ろ読み辞書順)"},
      {MF_STRING, 4, u"降順に並び替える(後ろ読み辞書順)"},
      {MF_SEPARATOR, 0, u""},
      {MF_STRING, 5, u"昇順に並び替える(整数比較)"},
      {MF_STRING, 6, u"降順に並び替える(整数比較)"},
      {MF_SEPARATOR, 0, u""},
      {MF_STRING, 7, u"昇順に並び替える(文字列長)"},
      {MF_STRING, 8, u"降順に並び替える(文字列長)"},
      {MF_SEPARATOR, 0, u""},
      {MF_STRING, 9, u"逆順に並び替える"},
      {MF_SEPARATOR, 0, u""},
      {MF_STRING, 10, u"重複した行を削除する"},
      {MF_STRING, 11, u"重複数を表示して並び替える"},
      {MF_STRING, 12, u"重複した行をハイライトする"},
      {MF_SEPARATOR, 0, u""},
      {MF_STRING, 0, u"キャンセル"},
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
