#include "commands/CommandCaptions.h"

#include <array>

namespace Tarnwick {

std::u16string_view CommandCaption(uint8_t CommandId) {
  static constexpr std::array<std::u16string_view, 13> Captions{
      u"キャンセル",
      u"昇順に並び替える(辞書順)",
      u"降順に並び替える(辞書順)",
      u"昇順に並び替える(後ろ読み辞書順)",
      u"降順に並び替える(後ろ読み辞書順)",
      u"昇順に並び替える(整数比較)",
      u"降順に並び替える(整数比較)",
      u"昇順に並び替える(文字列長)",
      u"降順に並び替える(文字列長)",
      u"逆順に並び替える",
      u"重複した行を削除する",
      u"重複数を表示して並び替える",
      u"重複した行をハイライトする",
  };
  return CommandId < Captions.size() ? Captions[CommandId] : std::u16string_view(u"");
}

}  // namespace Tarnwick
