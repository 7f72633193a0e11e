#include "commands/DuplicationRuns.h"

#include <algorithm>
#include <unordered_map>

namespace DuplicationRuns {
namespace {

using RunMerge::TUnits;

std::string_view BodyOf(std::string_view Line) {
  return Line.substr(0, Line.size() - RunMerge::BreakLength(Line, TUnits::unBytes));
}

// Value as eight big-endian bytes, which compare as the values do.
void PutBigEndian(uint64_t Value, std::string& Out) {
  for (int Shift = 56; Shift >= 0; Shift -= 8) Out += static_cast<char>(Value >> Shift);
}

}  // namespace

TSpilledDuplicates::TSpilledDuplicates(RunMerge::TRunStore& Store, size_t Parts, TKeep Keep)
    : FStore(Store), FKeep(Keep) {
  for (size_t P = 0; P < std::max<size_t>(Parts, 1); ++P) {
    FParts.push_back(Store.Create());
    FWriters.push_back(std::make_unique<RunMerge::TRunWriter>(*FParts.back(), size_t{1} << 16));
  }
}

void TSpilledDuplicates::Add(std::string_view Line) {
  std::string Key;
  PutBigEndian(FNumber++, Key);
  const size_t Part = std::hash<std::string_view>{}(BodyOf(Line)) % FParts.size();
  FWriters[Part]->Add({Line, Key, true});
}

void TSpilledDuplicates::Finish(const std::function<void(std::string_view)>& Put, size_t Buffer) {
  // Each part's kept lines, keyed by where they go: their number, or for count the group's size
  // (larger first) and then its first line's number.
  std::vector<std::unique_ptr<RunMerge::TRunFile>> Kept;
  for (size_t P = 0; P < FParts.size(); ++P) {
    FWriters[P]->Finish();
    FWriters[P].reset();
    std::vector<std::pair<std::string, std::string>> Lines;  // key (number), line
    {
      RunMerge::TRunReader Reader(*FParts[P], Buffer);
      RunMerge::TRecord Record;
      while (Reader.Next(Record)) Lines.emplace_back(Record.Key, Record.Line);
    }
    FParts[P].reset();
    struct TGroup {
      size_t First;
      uint64_t Count = 0;
    };
    std::unordered_map<std::string_view, TGroup> Groups;
    for (size_t I = 0; I < Lines.size(); ++I) {
      TGroup& Group = Groups.try_emplace(BodyOf(Lines[I].second), TGroup{I}).first->second;
      ++Group.Count;
    }
    std::vector<std::pair<std::string, std::string>> Out;
    for (size_t I = 0; I < Lines.size(); ++I) {
      const TGroup& Group = Groups.at(BodyOf(Lines[I].second));
      const bool First = Group.First == I;
      switch (FKeep) {
        case TKeep::kpFirst:
          if (First) Out.push_back(Lines[I]);
          break;
        case TKeep::kpOnce:
          if (Group.Count == 1) Out.push_back(Lines[I]);
          break;
        case TKeep::kpRepeated:
          if (First && Group.Count > 1) Out.push_back(Lines[I]);
          break;
        case TKeep::kpCount: {
          if (!First) break;
          const std::string_view Line = Lines[I].second;
          const std::string_view Body = BodyOf(Line);
          std::string Key;
          PutBigEndian(~Group.Count, Key);
          Key += Lines[I].first;
          Out.emplace_back(std::move(Key), std::string(Body) + ":" + std::to_string(Group.Count) +
                                               std::string(Line.substr(Body.size())));
          break;
        }
      }
    }
    if (FKeep == TKeep::kpCount) std::sort(Out.begin(), Out.end());
    Groups.clear();
    Kept.push_back(FStore.Create());
    RunMerge::TRunWriter Writer(*Kept.back());
    for (const auto& [Key, Line] : Out) Writer.Add({Line, Key, true});
    Writer.Finish();
  }
  // The records all carry keys, compared as bytes: the order's collation is never called.
  class TNoText final : public KeyedSort::TLineDecoder {
    std::u16string_view Decode(std::string_view, std::u16string& Scratch) const override {
      return Scratch;
    }
  } NoText;
  const RunMerge::TLineOrder ByKey(NoText, KeyedSort::TSortKind::skText,
                                   KeyedSort::TSortOrder::soAscending);
  std::string Piece;
  RunMerge::MergeRuns(std::move(Kept), ByKey, FStore, 16, Buffer,
                      [&](const RunMerge::TRecord& Record) {
                        if (Piece.size() >= (size_t{1} << 20)) {
                          Put(Piece);
                          Piece.clear();
                        }
                        Piece += Record.Line;
                      });
  if (!Piece.empty()) Put(Piece);
}

}  // namespace DuplicationRuns
