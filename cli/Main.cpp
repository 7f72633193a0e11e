// tarnwick: reads a text, runs one line operation on it and writes the result. Every error is
// detected before anything is written, so a failed run leaves no output behind.
#include <exception>
#include <new>
#include <string>
#include <utility>

#include "base/Parallel.h"
#include "cli/Arguments.h"
#include "cli/Codec.h"
#include "cli/Messages.h"
#include "cli/Operations.h"
#include "cli/Spill.h"
#include "cli/System.h"
#include "commands/CommandId.h"
#include "platform/Collation.h"
#include "platform/Win32.h"
#include "strings/StringUnit.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // the operation or the writing of the result failed
constexpr int kExitUsage = 2;   // usage, input or encoding error

// An error that ends the run with its exit status and message.
struct TExit {
  int Status;
  std::string Message;
};

// A locale as the messages name it: quoted, with the variable it came from.
std::string Named(const Collation::TLocaleName& Locale) {
  if (Locale.Variable.empty()) return "'" + Locale.Name + "'";
  return Messages::Translate("'%s' (from %s)", {Locale.Name, Locale.Variable});
}

// Chooses the collation of the sort orders: --locale, else the environment. A locale neither
// ICU nor the system knows is refused (ICU would silently use its root order instead); the
// environment is only checked when the operation sorts, so that a broken LANG does not stop
// reverse or dedupe.
void ApplyLocale(const Arguments::TOptions& Options) {
  if (!Options.Locale && !Tarnwick::ComparesLines(Options.Operation->Id)) return;
  Collation::TLocaleChoice choice;
  try {
    choice = Collation::ChooseLocale(Options.Locale);
  } catch (const Collation::EUnknownLocale& e) {
    throw TExit{kExitUsage, Messages::Translate("unknown locale %s; give a locale such as ja, "
                                                "en_US.UTF-8, root or C (--locale)",
                                                {Named(e.Locale())})};
  } catch (const Collation::ENoChoice&) {
    // Windows: the dictionary orders use the user's default locale, which a process cannot
    // change for itself; accepting the option would silently ignore it.
    throw TExit{kExitUsage,
                Messages::Translate(
                    "--locale is not available on Windows: the dictionary orders follow the "
                    "user's locale (set it in the system's region settings)")};
  }
  std::string warning;
  switch (choice.Case) {
    case Collation::lcOwn:
      return;
    case Collation::lcFallback:
      warning = Messages::Translate("locale %s is not known; using '%s'",
                                    {Named(choice.Locale), choice.Fallback});
      break;
    case Collation::lcRoot:
      warning =
          Messages::Translate("locale %s has no collation of its own; using the root collation",
                              {Named(choice.Locale)});
      break;
  }
  System::WriteStderr("tarnwick: " + Messages::Translate("warning: %s", {warning}) + "\n");
}

// --natural: the dictionary orders compare runs of digits by their value, which code-point
// order cannot.
void ApplyNatural(const Arguments::TOptions& Options) {
  if (!Options.Natural) return;
  if (Collation::IsCodePointOrder()) {
    throw TExit{kExitUsage,
                Messages::Translate("--natural needs a collation, and C or POSIX is code-point "
                                    "order; give a locale such as ja, en_US.UTF-8 or root "
                                    "(--locale)")};
  }
  StringUnit::SetCollationFlags(SORT_DIGITSASNUMBERS);
}

bool UseColour(const Arguments::TOptions& Options) {
  switch (Options.Colour) {
    case Arguments::TColour::clAlways:
      return true;
    case Arguments::TColour::clNever:
      return false;
    default:
      return Options.Output.empty() && System::StdoutIsColourTerminal();
  }
}

// Writes the output to standard output or to the -o file.
int Write(const Arguments::TOptions& Options, const std::string& Bytes) {
  try {
    if (Options.Output.empty())
      System::WriteStdout(Bytes);
    else
      System::WriteOutput(Options.Output, Bytes);
  } catch (const System::EFileError& e) {
    throw TExit{kExitFailed, e.what()};
  }
  return kExitOk;
}

int Run(int argc, char** argv) {
  const std::optional<Arguments::TOptions> parsed = Arguments::Parse(System::Arguments(argc, argv));
  if (!parsed) return kExitOk;
  const Arguments::TOptions& options = *parsed;
  const std::string inputName =
      options.Input == "-" ? Messages::Translate("standard input") : options.Input;

  ApplyLocale(options);
  ApplyNatural(options);
  Parallel::SetThreadCount(options.Threads);
  Codec::TEncoding encoding;
  try {
    encoding = Codec::Resolve(options.Encoding);
  } catch (const Codec::EUnknownEncoding& e) {
    throw TExit{kExitUsage, e.what()};
  }

  // highlight --mark's marks, with colour on a colour terminal.
  const Operations::TMarks marks = UseColour(options)
                                       ? Operations::TMarks{"\x1b[30;43m", "\x1b[0m", ""}
                                       : Operations::TMarks{"* ", "", "  "};
  const Operations::TMarks* chosenMarks =
      options.Operation->Id == Tarnwick::ciDuplicationHighlight && options.Mark ? &marks : nullptr;
  // A FILE that cannot be written is found before the input is read and the work done.
  if (!options.Output.empty()) {
    try {
      System::CheckOutput(options.Output);
    } catch (const System::EFileError& e) {
      throw TExit{kExitFailed, e.what()};
    }
  }
  std::string output;
  try {
    // The sorts (past the buffer too), -c, -m and several files.
    if (Spill::Handles(options)) return Spill::Run(options, encoding, chosenMarks);
    output = Operations::RunOnFile(*options.Operation, encoding, System::ReadAll(options.Input),
                                   chosenMarks, options.Choices);
  } catch (const System::EFileError& e) {
    throw TExit{kExitUsage, e.what()};
  } catch (const Codec::EInvalidInput& e) {
    throw TExit{kExitUsage, inputName + ": " + e.what()};
  } catch (const Codec::EUnencodable& e) {
    throw TExit{kExitUsage, e.what()};
  } catch (const std::bad_alloc&) {
    throw TExit{kExitFailed, Messages::Translate("out of memory")};
  } catch (const Spill::EOutput& e) {
    throw TExit{kExitFailed, e.what()};
  } catch (const std::exception& e) {
    throw TExit{kExitFailed,
                Messages::Translate("%s failed: %s", {options.Operation->Name, e.what()})};
  }
  return Write(options, output);
}

}  // namespace

int main(int argc, char** argv) {
  System::PrepareForLargeTexts();
  Messages::UseUserLanguage();
  try {
    return Run(argc, argv);
  } catch (const TExit& e) {
    System::WriteStderr("tarnwick: " + e.Message + "\n");
    return e.Status;
  } catch (const Arguments::EUsage& e) {
    System::WriteStderr("tarnwick: " + std::string(e.what()) + "\n" +
                        Messages::Translate("Try 'tarnwick --help' for more information.") + "\n");
    return kExitUsage;
  } catch (const std::bad_alloc&) {
    System::WriteStderr("tarnwick: " + std::string(Messages::Translate("out of memory")) + "\n");
    return kExitFailed;
  } catch (const std::exception& e) {
    System::WriteStderr("tarnwick: " + std::string(e.what()) + "\n");
    return kExitFailed;
  }
}
