// Command-line parsing with CLI11; the help text lists every operation with its menu caption.
#include "cli/Arguments.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>
#include <sstream>

#include "TarnwickVersion.h"
#include "ToolRules.h"
#include "cli/CodecUnicode.h"
#include "cli/System.h"
#include "commands/CommandCaptions.h"
#include "commands/CommandId.h"

namespace Arguments {
namespace {

constexpr const char* kVersion = "tarnwick " TARNWICK_VERSION;

// The help's group of --locale. Windows sorts in the user's locale: there the option is parsed
// only to be refused with that reason, and the help (group "") does not offer it.
#ifdef _WIN32
constexpr const char* kLocaleGroup = "";
#else
constexpr const char* kLocaleGroup = "Options";
#endif

// The menu caption in UTF-8, for the help text.
std::string Caption(uint8_t Id) {
  std::string Utf8;
  Codec::Unicode::EncodeUtf8(Tarnwick::CommandCaption(Id), Utf8);
  return Utf8;
}

std::string OperationTable() {
  std::ostringstream out;
  out << "Operations (name, menu id, menu caption, what it does):\n";
  for (const Operations::TOperation& op : Operations::All()) {
    std::string name(op.Name);
    name.resize(std::max<size_t>(name.size(), 18), ' ');
    out << "  " << name << (op.Id < 10 ? " " : "") << +op.Id << "  " << Caption(op.Id) << "\n"
        << "  " << std::string(22, ' ') << op.Summary << "\n";
  }
#ifdef _WIN32
  out << "\nDictionary order (the first four sorts, and lines the other sorts find equal) is the\n"
         "collation of the user's locale, set in the system's region settings.\n";
#else
  out << "\nDictionary order (the first four sorts, and lines the other sorts find equal) is the\n"
         "collation of --locale NAME, else of LC_ALL, LC_COLLATE or LANG: C or POSIX (also\n"
         "when none is set) is code-point order, the order of the UTF-8 bytes, as in sort;\n"
         "root is the CLDR root collation; ja, en_US.UTF-8 and the like are the language's.\n"
         "An unknown locale is an error.\n";
#endif
  out << "\nRules to know:\n" << kToolRules;
  out << "\nExit status: 0 done, 1 the operation or "
         "writing failed,\n2 usage, input or encoding error (nothing is written then).";
  return out.str();
}

// The usage line with OPERATION shown as required: CLI11 marks it optional, since --id may
// take its place.
class TFormatter : public CLI::Formatter {
 public:
  std::string make_usage(const CLI::App*, std::string) const override {
    return "Usage: tarnwick [OPTIONS] OPERATION [FILE]\n"
           "       tarnwick [OPTIONS] --id N [FILE]\n";
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
    if (extra.rfind("-", 0) == 0 && extra != "-") return "unknown option '" + extra + "'";
    return "unexpected argument '" + extra + "': give one OPERATION and at most one FILE";
  }
  if (!option.empty() && what.find("At Most") != std::string::npos)
    return option + " may be given only once";
  if (!option.empty() && what.find("missing") != std::string::npos)
    return option + " needs a value";
  return what;
}

}  // namespace

std::optional<TOptions> Parse(const std::vector<std::string>& Args) {
  TOptions options;
  std::string first, second, colour, idText;

  CLI::App app{"Runs one of the twelve line operations on a text and writes the result.",
               "tarnwick"};
  app.set_version_flag("--version", kVersion, "Print the version and exit");
  app.footer(OperationTable());
  app.allow_windows_style_options(false);  // "/path" is a file name, not an option
  app.formatter(std::make_shared<TFormatter>());
  app.get_formatter()->column_width(26);
  app.add_option("OPERATION", first, "The operation's name (see below)")->type_name("");
  app.add_option("FILE", second, "The input file (absent or \"-\": standard input)")->type_name("");
  app.add_option("--id", idText, "The operation by its menu id, 1..12, in place of its name")
      ->type_name("N");
  app.add_option("-o,--output", options.Output,
                 "Write the result to FILE once it is ready, as sort -o does (it may be the input)")
      ->type_name("FILE");
  app.add_option("-e,--encoding", options.Encoding,
                 "Encoding of input and output (default UTF-8; a byte-order mark is honoured)")
      ->type_name("NAME");
  app.add_option("--locale", options.Locale,
                 "Collation of the dictionary orders: C, root, ja, ... (see below)")
      ->type_name("NAME")
      ->group(kLocaleGroup);
  app.add_option("--threads", options.Threads,
                 "Threads to use (default: the cores available, at most 8); the result is the same")
      ->type_name("N")
      ->check(CLI::Range(1, 256));
  app.add_flag("--mark", options.Mark,
               "highlight: print the text with the repeated lines marked instead of the pattern");
  app.add_option("--color,--colour", colour,
                 "With --mark: colour auto (terminal; NO_COLOR turns it off), always, never")
      ->type_name("WHEN");

  std::vector<std::string> reversed(Args.rbegin(), Args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    System::WriteStdout(app.help());
    return std::nullopt;
  } catch (const CLI::CallForVersion&) {
    System::WriteStdout(std::string(kVersion) + "\n");
    return std::nullopt;
  } catch (const CLI::ParseError& e) {
    throw EUsage(Reworded(e));
  }

  int id = 0;
  if (app.count("--id") > 0) {
    const bool digits =
        !idText.empty() && idText.size() <= 2 &&
        std::all_of(idText.begin(), idText.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (digits) id = std::stoi(idText);
    if (id < 1 || id > 12) throw EUsage("--id takes a number from 1 to 12, not '" + idText + "'");
  }
  if (app.count("--color") > 0 && colour != "auto" && colour != "always" && colour != "never")
    throw EUsage("--color takes auto, always or never, not '" + colour + "'");
  if (app.count("--locale") > 0 && options.Locale->empty())
    throw EUsage("--locale needs a locale name, such as ja, en_US.UTF-8, root or C");

  std::string operationName = first;
  if (id != 0) {
    if (!second.empty()) throw EUsage("give either an operation name or --id, not both");
    options.Operation = Operations::FindById(id);
    second = first;
  } else {
    if (first.empty()) throw EUsage("no operation given");
    options.Operation = Operations::FindByName(first);
    if (options.Operation == nullptr)
      throw EUsage("unknown operation '" + first + "' (tarnwick --help lists them)");
  }
  if (!second.empty()) options.Input = second;
  if (app.count("--output") > 0 && options.Output.empty())
    throw EUsage("-o needs a file name (\"-\" is standard output)");
  if (options.Output == "-") options.Output.clear();  // "-o -" is standard output, as for input
  if (app.count("--color") > 0) {
    if (!options.Mark) throw EUsage("--color applies to highlight --mark only");
    options.Colour = colour == "always"  ? TColour::clAlways
                     : colour == "never" ? TColour::clNever
                                         : TColour::clAuto;
  }
  if (options.Mark && options.Operation->Id != Tarnwick::ciDuplicationHighlight)
    throw EUsage("--mark applies to the highlight operation only");
  return options;
}

}  // namespace Arguments
