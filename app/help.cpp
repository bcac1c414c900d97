#include "app/help.h"

#include <maker.h>

#include "app/identity.h"
#include "engine/formats.h"
#include "i18n/placeholders.h"
#include "settings/text.h"

namespace rastello {

namespace {

// Option part padded to 28 characters, so every description starts in column 29.
std::string OptionLine(const std::string& option, const char* description) {
  std::string line = "  " + option;
  if (line.size() < 28) line.resize(28, ' ');
  return line + description;
}

}  // namespace

std::vector<std::string> HelpLines() {
  const char* examples[] = {
      "  %s1% -i example.%s2%",
      "  %s1% -i /tmp/example.%s2%",
      "  %s1% -i /tmp/example.%s2% -o /tmp/converted",
      "  %s1% -i /tmp/example.%s2% -o /tmp/converted --jpg-quality=95",
  };
  const auto& inputs = AllowedInputFormats();
  std::vector<std::string> lines = {" ", FillPlaceholders("Usage: %s1% -i <filename> [options]", kShortName), " "};
  // An input format drawn anew for each example; this program has only one.
  for (const char* example : examples) lines.push_back(FillPlaceholders(example, kShortName, inputs[0]));
  lines.insert(lines.end(), {
                                " ",
                                "Options:",
                                " ",
                                OptionLine("-h, -?, --help", "Display this help and exit"),
                                OptionLine("-i FILE, --input=FILE", "Set input file"),
                                OptionLine("-o PATH, --output=PATH", "Set output folder"),
                                OptionLine("-c STR, --conversion=STR", "Set output extension, STR = (jpg | bmp | ...)"),
                                " ",
                                "Advanced options:",
                                " ",
                                OptionLine("--width=NUM", "Set output image width"),
                                OptionLine("--height=NUM", "Set output image height"),
                                OptionLine("--filename-mask=STR", "Define output filename format"),
                                OptionLine("--flip-horizontal", "Flip output image horizontally"),
                                OptionLine("--flip-vertical", "Flip output image vertically"),
                                OptionLine("--brightness=NUM", "Set output image brightness, NUM = -100..100"),
                                OptionLine("--contrast=NUM", "Set output image contrast, NUM = -100..100"),
                                OptionLine("--gamma=NUM", "Set output image gamma, NUM = 0.01..9.99"),
                                OptionLine("--invert", "Invert output image"),
                                OptionLine("--greyscale", "Greyscale output image"),
                                OptionLine("--profile=FILE", "Set configuration file with required settings"),
                                OptionLine("  ...", "Refer documentation for all available options"),
                                " ",
                                "Other options:",
                                " ",
                                OptionLine("-q, --quiet", "Don't print status messages to stdout"),
                                OptionLine("-d, --debug", "Print debug information to stdout"),
                                OptionLine("-p, --pause", "Pause at exit"),
                                OptionLine("-v, --version", "Display version information and exit"),
                            });
  return lines;
}

std::vector<std::string> BannerLines() {
  return {ProgramTitle(), ReplaceAllNoCase(maker::kNotice, "©", "(c)"), maker::kSite, " "};
}

}  // namespace rastello
