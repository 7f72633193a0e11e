// Command-line parsing with CLI11; the help text lists every operation with its menu caption.
#include "cli/Arguments.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <memory>
#include <random>
#include <sstream>

#include "TarnwickVersion.h"
#include "ToolRules.h"
#include "cli/CodecUnicode.h"
#include "cli/Messages.h"
#include "cli/System.h"
#include "commands/CommandCaptions.h"
#include "commands/CommandId.h"

namespace Arguments {
namespace {

using Messages::ForTranslation;
using Messages::Translate;

constexpr const char* kVersion = "tarnwick " TARNWICK_VERSION;

// Whether the help offers --locale. Windows sorts in the user's locale: there the option is
// parsed only to be refused with that reason, and the help does not show it (group "").
#ifdef _WIN32
constexpr bool kShowLocale = false;
#else
constexpr bool kShowLocale = true;
#endif

// The number in Text when it is one from 1 to Most written in at most three digits, else 0.
unsigned Number(const std::string& Text, unsigned Most) {
  if (Text.empty() || Text.size() > 3 ||
      !std::all_of(Text.begin(), Text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return 0;
  const unsigned n = static_cast<unsigned>(std::stoul(Text));
  return n <= Most ? n : 0;
}

// The menu caption in UTF-8, for the help text.
std::string Caption(uint8_t Id) {
  std::string Utf8;
  Codec::Unicode::EncodeUtf8(Tarnwick::CommandCaption(Id), Utf8);
  return Utf8;
}

// The rules text in the user's language, translated a paragraph (a "- " item) at a time.
std::string Rules() {
  std::string out;
  std::string_view rest = kToolRules;
  while (!rest.empty()) {
    const size_t next = rest.find("\n- ");
    const size_t end = next == std::string_view::npos ? rest.size() : next + 1;
    std::string paragraph(rest.substr(0, end));
    rest.remove_prefix(end);
#ifdef _WIN32
    // This build has no --locale: the paragraphs about it are not for its users.
    if (paragraph.find("--locale") != std::string::npos) continue;
#endif
    const bool broken = paragraph.ends_with('\n');
    if (broken) paragraph.pop_back();
    out += Translate(paragraph.c_str());
    if (broken) out += '\n';
  }
  return out;
}

std::string OperationTable() {
  std::ostringstream out;
  out << Translate("Operations (name, menu id, menu caption, what it does):") << "\n";
  for (const Operations::TOperation& op : Operations::All()) {
    std::string name(op.Name);
    name.resize(std::max<size_t>(name.size(), 18), ' ');
    if (op.Id == Operations::NotInMenu) {
      out << "  " << name << " -  " << Translate("(not in the menu)") << "\n";
    } else {
      out << "  " << name << (op.Id < 10 ? " " : "") << +op.Id << "  " << Caption(op.Id) << "\n";
    }
    out << "  " << std::string(22, ' ') << Translate(op.Summary) << "\n";
  }
#ifdef _WIN32
  out << "\n"
      << Translate(
             "Dictionary order (the first four sorts, and lines the other sorts find equal) is "
             "the\ncollation of the user's locale, set in the system's region settings.\n");
#else
  out << "\n"
      << Translate(
             "Dictionary order (the first four sorts, and lines the other sorts find equal) is "
             "the\ncollation of --locale NAME, else of LC_ALL, LC_COLLATE or LANG: C or POSIX "
             "(also\nwhen none is set) is code-point order, the order of the UTF-8 bytes, as in "
             "sort;\nroot is the CLDR root collation; ja, en_US.UTF-8 and the like are the "
             "language's.\nA locale the system has but ICU does not collate sorts in the root "
             "order, "
             "with a\nwarning; any other unknown name is an error.\n");
#endif
  out << "\n" << Translate("Rules to know:") << "\n" << Rules();
  out << "\n"
      << Translate(
             "Exit status: 0 done, 1 the operation or writing failed,\n2 usage, input or "
             "encoding error (nothing is written then).");
  return out.str();
}

// The usage line with OPERATION shown as required: CLI11 marks it optional, since --id may
// take its place.
class TFormatter : public CLI::Formatter {
 public:
  std::string make_usage(const CLI::App*, std::string) const override {
    return Translate(
        "Usage: tarnwick [OPTIONS] OPERATION [FILE...]\n"
        "       tarnwick [OPTIONS] --id N [FILE...]\n"
        "       tarnwick [OPTIONS] keys [SORT] [FILE...]\n");
  }
  // A flag that may be given a value (--color) shows as --color[=WHEN], not with its default.
  std::string make_option_name(const CLI::Option* Option, bool Positional) const override {
    std::string Name = CLI::Formatter::make_option_name(Option, Positional);
    bool Valued = false;
    for (size_t Brace; (Brace = Name.find('{')) != std::string::npos; Valued = true)
      Name.erase(Brace, Name.find('}', Brace) + 1 - Brace);
    return Valued ? Name + "[=WHEN]" : Name;
  }
};

// The parser's error in the tool's own words: the option it concerns is the text before the
// first ": " of CLI11's message.
std::string Reworded(const CLI::ParseError& Error) {
  const std::string what = Error.what();
  const size_t colon = what.find(": ");
  const std::string option =
      what.rfind("-", 0) == 0 && colon != std::string::npos ? what.substr(0, colon) : std::string();
  if (dynamic_cast<const CLI::ExtrasError*>(&Error) != nullptr) {
    const std::string extra = colon == std::string::npos ? what : what.substr(colon + 2);
    if (extra.rfind("-", 0) == 0 && extra != "-") return Translate("unknown option '%s'", {extra});
    return Translate("unexpected argument '%s': give one OPERATION and at most one FILE", {extra});
  }
  if (!option.empty() && what.find("At Most") != std::string::npos)
    return Translate("%s may be given only once", {option});
  if (!option.empty() && what.find("missing") != std::string::npos)
    return Translate("%s needs a value", {option});
  return what;
}

// --seed's number: decimal digits of a value below 2^64.
uint64_t SeedOf(const std::string& Text) {
  const EUsage Refusal(
      Translate("--seed takes a number from 0 to 18446744073709551615, not '%s'", {Text}));
  if (Text.empty()) throw Refusal;
  uint64_t Seed = 0;
  for (const char c : Text) {
    const uint64_t Digit = static_cast<uint64_t>(c - '0');
    if (c < '0' || c > '9' || Seed > (UINT64_MAX - Digit) / 10) throw Refusal;
    Seed = Seed * 10 + Digit;
  }
  return Seed;
}

// -t's separator: one character, not a line break; "\t" is the tab.
char32_t SeparatorOf(const std::string& Text) {
  std::u16string Units;
  if (Text == "\\t")
    Units = u"\t";
  else if (!Codec::Unicode::DecodeUtf8(Text, Units))
    Units.clear();
  const bool Pair = Units.size() == 2 && Units[0] >= 0xD800 && Units[0] < 0xDC00 &&
                    Units[1] >= 0xDC00 && Units[1] < 0xE000;
  if (Pair) return 0x10000 + ((char32_t{Units[0]} - 0xD800) << 10) + (Units[1] - 0xDC00);
  if (Units.size() != 1 || Units[0] == u'\r' || Units[0] == u'\n' ||
      (Units[0] >= 0xD800 && Units[0] <= 0xDFFF)) {
    throw EUsage(Translate("-t takes one character (\"\\t\" for the tab), not '%s'", {Text}));
  }
  return Units[0];
}

// -k's field: N, or N,N as sort users write a key that starts and ends at field N.
uint32_t KeyFieldOf(const std::string& Text) {
  const auto Digits = [](std::string_view Part) -> uint32_t {
    if (Part.empty() || Part.size() > 7 ||
        !std::all_of(Part.begin(), Part.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return 0;
    const auto n = static_cast<uint32_t>(std::stoul(std::string(Part)));
    return n <= 1000000 ? n : 0;
  };
  const size_t Comma = Text.find(',');
  const uint32_t Field = Digits(std::string_view(Text).substr(0, Comma));
  if (Field == 0 ||
      (Comma != std::string::npos && Digits(std::string_view(Text).substr(Comma + 1)) != Field)) {
    throw EUsage(Translate(
        "-k takes a field number N from 1 to 1000000, or N,N (the same field twice), not '%s'",
        {Text}));
  }
  return Field;
}

// Refuses an option given an empty value, "--output=" as "-o ''": the parser takes "--opt=" as
// "--opt" alone, which then took the next word as its value ("--output= FILE" wrote over FILE).
// An empty positional word is refused too: it is neither an operation nor a file name. Args
// are the words as given; called before App parses them (for "--opt=") and after (for the
// values App took).
void RefuseEmptyValues(const CLI::App& App, const std::vector<std::string>& Args) {
  const auto Refuse = [](const CLI::Option& Option) {
    if (Option.get_lnames().empty())
      throw EUsage(Translate("an empty argument is neither an operation nor a file name"));
    throw EUsage(
        Translate("%s needs a value, not an empty one", {"--" + Option.get_lnames().front()}));
  };
  for (const std::string& Arg : Args) {
    if (Arg == "--") break;
    if (!Arg.starts_with("--") || !Arg.ends_with('=')) continue;
    const CLI::Option* Option = App.get_option_no_throw(Arg.substr(0, Arg.find('=')));
    if (Option != nullptr) Refuse(*Option);
  }
  for (const CLI::Option* Option : App.get_options()) {
    const std::vector<std::string>& Values = Option->results();
    if (Option->get_type_size() > 0 &&
        std::any_of(Values.begin(), Values.end(), [](const std::string& V) { return V.empty(); }))
      Refuse(*Option);
  }
}

// A seed no run is likely to repeat: the system's random source, with the clock in case that
// source is weak.
uint64_t RandomSeed() {
  std::random_device Source;
  const uint64_t Drawn = (uint64_t{Source()} << 32) ^ Source();
  return Drawn ^ static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

// Refuses Option when it was given with an operation it does not apply to; Which (translated)
// names those it applies to.
void RefuseUnless(const CLI::App& App, const std::string& Option, bool Applies,
                  const Operations::TOperation& Operation, const char* Which) {
  if (App.count(Option) > 0 && !Applies) {
    throw EUsage(Translate("%s does not apply to %s (only to %s)",
                           {Option, Operation.Name, Translate(Which)}));
  }
}

}  // namespace

std::optional<uint64_t> BufferSizeOf(const std::string& Text, uint64_t PhysicalMemory) {
  size_t Digits = 0;
  uint64_t Number = 0;
  for (; Digits < Text.size() && Text[Digits] >= '0' && Text[Digits] <= '9'; ++Digits) {
    const uint64_t Digit = static_cast<uint64_t>(Text[Digits] - '0');
    if (Number > (UINT64_MAX - Digit) / 10) return std::nullopt;
    Number = Number * 10 + Digit;
  }
  if (Digits == 0 || Number == 0 || Text.size() > Digits + 1) return std::nullopt;
  const char Suffix = Digits < Text.size() ? Text[Digits] : 'K';
  if (Suffix == '%') {
    if (Number > 100) return std::nullopt;
    return std::max<uint64_t>(PhysicalMemory / 100 * Number, 1);
  }
  static constexpr std::string_view kSuffixes = "bKMGTPE";
  const size_t Power =
      kSuffixes.find(Suffix == 'b' ? 'b' : static_cast<char>(std::toupper(Suffix)));
  if (Power == std::string_view::npos) return std::nullopt;
  for (size_t K = 0; K < Power; ++K) {
    if (Number > UINT64_MAX / 1024) return std::nullopt;
    Number *= 1024;
  }
  return Number;
}

std::optional<TOptions> Parse(const std::vector<std::string>& Args) {
  TOptions options;
  std::string first, second, colour, idText, threadsText, seedText, keyText, bufferText;
  std::vector<std::string> files;

  CLI::App app{Translate("Runs one of the twelve line operations on a text and writes the result."),
               "tarnwick"};
  // Every option is in the one group "Options", named in the user's language.
  const std::string group = Translate("Options");
  app.option_defaults()->group(group);
  app.set_help_flag("-h,--help", Translate("Print this help message and exit"));
  app.set_version_flag("--version", kVersion, Translate("Print the version and exit"));
  app.footer(OperationTable());
  app.allow_windows_style_options(false);  // "/path" is a file name, not an option
  app.formatter(std::make_shared<TFormatter>());
  app.get_formatter()->column_width(26);
  app.get_formatter()->label("Positionals", Translate("Positionals"));
  app.add_option("OPERATION", first, Translate("The operation's name (see below)"))->type_name("");
  app.add_option("FILE", files,
                 Translate("The input files, read as one text (absent or \"-\": standard input)"))
      ->type_name("");
  app.add_option("--id", idText,
                 Translate("The operation by its menu id, 1..12, in place of its name"))
      ->type_name("N");
  app.add_option(
         "-o,--output", options.Output,
         Translate(
             "Write the result to FILE once it is ready, as sort -o does (it may be the input)"))
      ->type_name("FILE");
  app.add_option(
         "-e,--encoding", options.Encoding,
         Translate("Encoding of input and output (default UTF-8; a byte-order mark is honoured)"))
      ->type_name("NAME");
  app.add_option("--locale", options.Locale,
                 Translate("Collation of the dictionary orders: C, root, ja, ... (see below)"))
      ->type_name("NAME")
      ->group(kShowLocale ? group : "");
  app.add_option(
         "--threads", threadsText,
         Translate(
             "Threads to use (default: the cores available, at most 8); the result is the same"))
      ->type_name("N");
  app.add_flag(
      "--mark", options.Mark,
      Translate("highlight: print the text with the repeated lines marked instead of the pattern"));
  app.add_option("--seed", seedText,
                 Translate("shuffle: the order of this seed, the same on every system"))
      ->type_name("N");
  app.add_flag(
      "--natural", options.Natural,
      Translate("sort .. sort-rev-desc: runs of digits compare by their value (file2 < file10)"));
  bool ignoreCase = false, ignoreWidth = false, ignoreKana = false;
  app.add_flag(
      "-i,--ignore-case", ignoreCase,
      Translate("Lines that differ only in case are the same (sorts, dedupe, count, highlight)"));
  app.add_flag("--ignore-width", ignoreWidth,
               Translate("Full-width and half-width forms (Ａ/A, ｶﾞ/ガ) are the same (as -i)"));
  app.add_flag("--ignore-kana", ignoreKana,
               Translate("Hiragana and katakana (あ/ア) are the same (as -i)"));
  std::string separatorText;
  app.add_option("-k,--key", keyText,
                 Translate("Compare field N of each line only (sorts, dedupe, count, highlight); "
                           "N,N is the same"))
      ->type_name("N");
  app.add_option(
         "-t,--field-separator", separatorText,
         Translate("With -k: fields are separated by the character SEP, not runs of blanks"))
      ->type_name("SEP");
  bool stable = false;
  app.add_flag("-s,--stable", stable,
               Translate("The sorts: lines of equal keys keep their input order, as sort -s"));
  bool onlyUnique = false, onlyRepeated = false;
  app.add_flag("--only-unique", onlyUnique,
               Translate("dedupe: keep only the lines whose text occurs once in the whole text"));
  app.add_flag(
      "--only-repeated", onlyRepeated,
      Translate("dedupe: keep only the first line of each text that occurs more than once"));
  app.add_option("-S,--buffer-size", bufferText,
                 Translate("Memory for a sort: SIZE KiB, or with b, K, M, G, or N% of the memory; "
                           "a longer text is sorted in runs in temporary files"))
      ->type_name("SIZE");
  app.add_option("-T,--temporary-directory", options.TempFolder,
                 Translate("Folder for the temporary files (default: TMPDIR, else /tmp)"))
      ->type_name("DIR");
  app.add_flag("-c,--check", options.Check,
               Translate("The sorts: exit 1, naming the line, when the text is not in the order"));
  app.add_flag("-m,--merge", options.Merge,
               Translate("The sorts: merge FILEs that are each in the order already"));
  bool progress = false, noProgress = false;
  app.add_flag("--progress", progress,
               Translate("Show the progress of long work on standard error (default: when it is "
                         "a terminal)"));
  app.add_flag("--no-progress", noProgress, Translate("Never show the progress"));
  // As in grep, --color alone is --color=always; it never takes the next word as its value.
  app.add_flag(
         "--color{always},--colour{always}", colour,
         Translate("With --mark: colour auto (terminal; NO_COLOR turns it off), always (--color "
                   "alone) or never"))
      ->type_name("");

  std::vector<std::string> reversed(Args.rbegin(), Args.rend());
  try {
    RefuseEmptyValues(app, Args);
    app.parse(reversed);
    RefuseEmptyValues(app, Args);
  } catch (const CLI::CallForHelp&) {
    System::WriteStdoutText(app.help());
    return std::nullopt;
  } catch (const CLI::CallForVersion&) {
    System::WriteStdout(std::string(kVersion) + "\n");
    return std::nullopt;
  } catch (const CLI::ParseError& e) {
    throw EUsage(Reworded(e));
  }

  const char* kNumberError = Messages::ForTranslation("%s takes a number from 1 to %s, not '%s'");
  int id = 0;
  if (app.count("--id") > 0) {
    id = static_cast<int>(Number(idText, 12));
    if (id == 0) throw EUsage(Translate(kNumberError, {"--id", "12", idText}));
  }
  if (app.count("--threads") > 0) {
    options.Threads = Number(threadsText, 256);
    if (options.Threads == 0)
      throw EUsage(Translate(kNumberError, {"--threads", "256", threadsText}));
  }
  if (app.count("--color") > 0 && colour != "auto" && colour != "always" && colour != "never")
    throw EUsage(Translate("--color takes auto, always or never, not '%s'", {colour}));

  // keys [SORT]: the lines as their keys under SORT, "sort" when no sort is named.
  if (id == 0 && first == "keys") {
    options.Keys = true;
    const Operations::TOperation* Sort =
        files.empty() ? nullptr : Operations::FindByName(files.front());
    if (Sort != nullptr && Tarnwick::ComparesLines(Sort->Id)) {
      first = files.front();
      files.erase(files.begin());
    } else {
      first = "sort";
    }
  }
  if (!files.empty()) second = files.front();
  if (id != 0) {
    // "sort --id 5": a word that names an operation is one, not a file (./sort is the file).
    if (!first.empty() && Operations::FindByName(first) != nullptr)
      throw EUsage(Translate("give either an operation name or --id, not both"));
    options.Operation = Operations::FindById(id);
    if (!first.empty()) {
      files.insert(files.begin(), first);
      second = first;
    }
  } else {
    if (first.empty()) throw EUsage(Translate("no operation given"));
    options.Operation = Operations::FindByName(first);
    if (options.Operation == nullptr)
      throw EUsage(Translate("unknown operation '%s' (tarnwick --help lists them)", {first}));
  }
  if (!second.empty()) options.Input = second;
  if (files.size() > 1) options.MoreInputs.assign(files.begin() + 1, files.end());
  if (app.count("-S") > 0) {
    const std::optional<uint64_t> Size = BufferSizeOf(bufferText, System::PhysicalMemory());
    if (!Size) {
      throw EUsage(
          Translate("-S takes a size such as 500M, 2G, 1048576b or 25%, not '%s'", {bufferText}));
    }
    options.BufferSize = *Size;
  }
  if (progress && noProgress) throw EUsage(Translate("give either --progress or --no-progress"));
  if (progress || noProgress) options.Progress = progress;
  if (options.Output == "-") options.Output.clear();  // "-o -" is standard output, as for input
  if (app.count("--color") > 0) {
    if (!options.Mark) throw EUsage(Translate("--color applies to highlight --mark only"));
    options.Colour = colour == "always"  ? TColour::clAlways
                     : colour == "never" ? TColour::clNever
                                         : TColour::clAuto;
  }
  if (options.Mark && options.Operation->Id != Tarnwick::ciDuplicationHighlight)
    throw EUsage(Translate("--mark applies to the highlight operation only"));
  const bool dedupes = options.Operation->Id == Tarnwick::ciDuplicationDelete;
  RefuseUnless(app, "--only-unique", dedupes, *options.Operation, "dedupe");
  RefuseUnless(app, "--only-repeated", dedupes, *options.Operation, "dedupe");
  if (onlyUnique && onlyRepeated)
    throw EUsage(Translate("give either --only-unique or --only-repeated"));
  if (onlyUnique) options.Choices.Only = Tarnwick::ocOnce;
  if (onlyRepeated) options.Choices.Only = Tarnwick::ocRepeated;
  const uint8_t Id = options.Operation->Id;
  const bool keyed = Tarnwick::ComparesLines(Id) || Id == Tarnwick::ciDuplicationDelete ||
                     Id == Tarnwick::ciDuplicationCount || Id == Tarnwick::ciDuplicationHighlight;
  const char* keyOperations = ForTranslation("the sorts, dedupe, count and highlight");
  RefuseUnless(app, "-k", keyed, *options.Operation, keyOperations);
  if (app.count("-k") > 0) options.Choices.Key.Field = KeyFieldOf(keyText);
  RefuseUnless(app, "-t", keyed, *options.Operation, keyOperations);
  RefuseUnless(app, "--ignore-case", keyed, *options.Operation, keyOperations);
  RefuseUnless(app, "--ignore-width", keyed, *options.Operation, keyOperations);
  RefuseUnless(app, "--ignore-kana", keyed, *options.Operation, keyOperations);
  options.Choices.Key.Fold = (ignoreWidth ? uint32_t{LineKey::fdWidth} : 0u) |
                             (ignoreKana ? uint32_t{LineKey::fdKana} : 0u) |
                             (ignoreCase ? uint32_t{LineKey::fdCase} : 0u);
  if (app.count("-t") > 0) {
    if (app.count("-k") == 0) throw EUsage(Translate("-t needs -k, the field to compare"));
    options.Choices.Key.Separator = SeparatorOf(separatorText);
  }
#ifndef _WIN32  // there every --locale is refused, as not available on Windows
  // Collation orders the sorts (their dictionary order and their ties) and nothing else: dedupe,
  // count and highlight compare lines exactly, or by their folded keys.
  RefuseUnless(app, "--locale", Tarnwick::ComparesLines(Id), *options.Operation,
               ForTranslation("the sorts"));
#endif
  RefuseUnless(app, "--natural",
               Id >= Tarnwick::ciSortAscending && Id <= Tarnwick::ciReverseTextDescending,
               *options.Operation, ForTranslation("sort, sort-desc, sort-rev and sort-rev-desc"));
  // With the tool's own ways of comparing, lines of equal keys are ordered by their whole lines
  // as sort orders them, or kept in input order (--stable); without them, as the plug-in sorts.
  RefuseUnless(app, "--stable", Tarnwick::ComparesLines(Id), *options.Operation,
               ForTranslation("the sorts"));
  if (stable) {
    options.Choices.Ties = LineTies::tiInputOrder;
  } else if (options.Choices.Key.Active() || options.Natural) {
    options.Choices.Ties = LineTies::tiWholeLine;
  }
  const char* sortOperations = ForTranslation("the sorts");
  RefuseUnless(app, "-c", Tarnwick::ComparesLines(Id), *options.Operation, sortOperations);
  RefuseUnless(app, "-m", Tarnwick::ComparesLines(Id), *options.Operation, sortOperations);
  if (options.Check && options.Merge) throw EUsage(Translate("give either -c or -m"));
  if (options.Keys && (options.Check || options.Merge))
    throw EUsage(Translate("keys writes keys: -c and -m do not apply"));
  if (options.Check && !options.MoreInputs.empty())
    throw EUsage(Translate("-c checks one FILE, not '%s'", {options.MoreInputs.front()}));
  if (options.Check && app.count("--output") > 0)
    throw EUsage(Translate("-c writes no output: -o does not apply"));
  const bool shuffles = options.Operation->Id == Operations::NotInMenu;
  RefuseUnless(app, "--seed", shuffles, *options.Operation, "shuffle");
  if (shuffles) options.Choices.Seed = app.count("--seed") > 0 ? SeedOf(seedText) : RandomSeed();
  return options;
}

}  // namespace Arguments
